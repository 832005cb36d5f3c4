#include "frmchiamoro.h"

#include "ui/frameshape.h"
#include "ui/limitedtextedit.h"
#include "ui/pointers.h"
#include "ui/qtdialogs.h"

#include <QCloseEvent>
#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <iterator>
#include <utility>

namespace {

// The layout is measured in twips, 15 to the device-independent pixel. Every
// position and size divides exactly; the two heights of the info panel do not
// and are rounded to the nearest pixel: 4000 twips to 267, 5825 to 388.
constexpr int kTwipsPerPixel = 15;

QRect twips(int left, int top, int width, int height) {
    return QRect(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
                 height / kTwipsPerPixel);
}

constexpr int pixels(int twips) {
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

constexpr int kClientWidth = pixels(6255);       // 417
constexpr int kStartClientHeight = pixels(3990); // 266
constexpr int kCollapsedHeight = pixels(4000);   // 267: Text1 still hidden
constexpr int kExpandedHeight = pixels(5825);    // 388: Text1 shown whole

const QColor kOrange(255, 128, 0);
const QColor kLightYellow(255, 255, 192);
const QColor kDarkBlue(0, 0, 192);

// Fonts of the layout that the system may lack, and what stands in for them.
// Arial and Times New Roman are covered by fontconfig's own aliases for the
// metric-compatible Liberation fonts.
void installFontSubstitutes() {
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Comic Sans MS"), QStringLiteral("Comic Neue"));
}

QFont makeFont(const QString& family, qreal points, bool bold) {
    QFont chosen(family);
    chosen.setPointSizeF(points);
    chosen.setWeight(bold ? QFont::Bold : QFont::Normal);
    return chosen;
}

const QString kTimes = QStringLiteral("Times New Roman");

template <typename Control>
Control* place(Control* control, const char* name, const QRect& geometry) {
    control->setObjectName(QLatin1String(name));
    control->setGeometry(geometry);
    return control;
}

QLabel* caption(QWidget* parent, const char* name, const QString& text, const QRect& geometry) {
    auto* label = place(new QLabel(text, parent), name, geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setFont(makeFont(kTimes, 9.75, true));
    QPalette colours = label->palette();
    colours.setColor(QPalette::WindowText, kLightYellow);
    label->setPalette(colours);
    return label;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text, const QRect& geometry) {
    auto* control = place(new QPushButton(text, parent), name, geometry);
    control->setAutoDefault(false);
    control->setDefault(false);
    return control;
}

} // namespace

frmChiamoro::frmChiamoro(QWidget* parent) : frmChiamoro(nullptr, parent) {}

frmChiamoro::frmChiamoro(Dialogs& dialogs, QWidget* parent) : frmChiamoro(&dialogs, parent) {}

frmChiamoro::frmChiamoro(Dialogs* dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      ownDialogs_(dialogs ? nullptr : std::make_unique<QtDialogs>(this)),
      dialogs_(dialogs ? *dialogs : *ownDialogs_), rubrica_(*this, dialogs_, desktop_) {
    setObjectName(QStringLiteral("frmChiamoro"));
    installFontSubstitutes();
    setFont(makeFont(QStringLiteral("MS Sans Serif"), 8.25, false));
    setWindowIcon(QIcon(QStringLiteral(":/assets/chiamoro.ico")));
    setFixedSize(kClientWidth, kStartClientHeight);
    createControls();
    txtNome->setFocus();
}

frmChiamoro::~frmChiamoro() = default;

void frmChiamoro::createControls() {
    // Later controls lie on top of earlier ones: the frame at the bottom, then
    // the picture, the labels, and the text boxes and buttons above them all.
    Shape1 = place(new FrameShape(this), "Shape1", twips(0, 0, 6255, 3975));
    Shape1->setLineColor(kLightYellow);

    Image1 = place(new QLabel(this), "Image1", twips(240, 360, 1500, 3000));
    Image1->setPixmap(QPixmap(QStringLiteral(":/assets/handset.gif")));
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    lblChiamoro = caption(this, "lblChiamoro", QStringLiteral("Chiamoro o Cellulare:"),
                          twips(1080, 0, 2175, 255));
    lblNome = caption(this, "lblNome", QStringLiteral("Nome:"), twips(1080, 840, 975, 255));
    lblCommenti =
        caption(this, "lblCommenti", QStringLiteral("Commenti:"), twips(1080, 1800, 1095, 255));

    Label1 = place(new QLabel(QStringLiteral("Info"), this), "Label1", twips(240, 3600, 495, 255));
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setFont(makeFont(QStringLiteral("Comic Sans MS"), 9.75, true));
    Label1->setAutoFillBackground(true);
    QPalette orange = Label1->palette();
    orange.setColor(QPalette::Window, kOrange);
    Label1->setPalette(orange);

    txtNome = place(new QLineEdit(this), "txtNome", twips(1080, 240, 3255, 495));
    txtNome->setFont(makeFont(QStringLiteral("Arial"), 14.25, true));
    QPalette blue = txtNome->palette();
    blue.setColor(QPalette::Text, kDarkBlue);
    txtNome->setPalette(blue);
    txtNome->setMaxLength(40);
    txtNome->setToolTip(QStringLiteral("Inserire n° di chiamoro o cellulare"));

    txtChiamoro = place(new QLineEdit(this), "txtChiamoro", twips(1080, 1080, 3255, 495));
    txtChiamoro->setFont(makeFont(QStringLiteral("Arial"), 12, false));
    txtChiamoro->setMaxLength(40);
    txtChiamoro->setToolTip(QStringLiteral("Inserire il Nome del contatto"));

    txtCommenti = place(new LimitedTextEdit(this), "txtCommenti", twips(1080, 2040, 3255, 1215));
    txtCommenti->setFont(makeFont(kTimes, 9.75, false));
    txtCommenti->setMaxLength(100);
    txtCommenti->setToolTip(QStringLiteral(
        "Inserire commenti o Numeri secondari (facoltativo e non compreso  nella ricerca) "
        "Max 65 Caratteri!"));

    // Below the client area as laid out: it shows when the window grows.
    Text1 = place(new LimitedTextEdit(this), "Text1", twips(240, 4080, 5775, 1695));
    Text1->setTextCrLf(infoText());
    Text1->setAccessibleName(QStringLiteral("Info"));

    // The contact boxes are known by their captions.
    const std::pair<QLabel*, QWidget*> captions[] = {
        {lblChiamoro, txtNome}, {lblNome, txtChiamoro}, {lblCommenti, txtCommenti}};
    for (const auto& [label, box] : captions) {
        label->setBuddy(box);
        box->setAccessibleName(label->text());
    }

    Command2 =
        button(this, "Command2", QStringLiteral("Copia Contatto"), twips(1080, 3360, 1695, 375));
    Command2->setToolTip(QStringLiteral(
        "Copia Contatto in memoria, per una personalizzata impaginazione in Word o altro."));
    Command3 =
        button(this, "Command3", QStringLiteral("Stampa contatto"), twips(2880, 3360, 1455, 375));
    Command3->setCursor(loadPointer(QStringLiteral(":/assets/book.ico")));

    // The upper buttons overlap by one pixel; the later one lies on top.
    cmdCerca = button(this, "cmdCerca", QStringLiteral("Cerca N°"), twips(4560, 120, 1455, 495));
    cmdCerca->setFont(makeFont(kTimes, 12, true));
    cmdCerca->setCursor(loadPointer(QStringLiteral(":/assets/hand.cur")));
    cmdSuccessivo =
        button(this, "cmdSuccessivo", QStringLiteral("Successivo"), twips(4560, 1080, 1455, 495));
    cmdSuccessivo->setFont(makeFont(kTimes, 9.75, false));
    cmdSuccessivo->setCursor(loadPointer(QStringLiteral(":/assets/arrow-up-right.cur")));
    Command1 = button(this, "Command1", QStringLiteral("Cerca Nome"), twips(4560, 600, 1455, 495));
    Command1->setFont(makeFont(QStringLiteral("MS Sans Serif"), 8.25, true));
    Command1->setCursor(loadPointer(QStringLiteral(":/assets/letter.ico")));
    cmdPrecedente =
        button(this, "cmdPrecedente", QStringLiteral("Precedente"), twips(4560, 1560, 1455, 495));
    cmdPrecedente->setFont(makeFont(kTimes, 9.75, false));
    cmdPrecedente->setCursor(loadPointer(QStringLiteral(":/assets/arrow-up-left.cur")));
    cmdNuovo = button(this, "cmdNuovo", QStringLiteral("Nuovo"), twips(4560, 2160, 1455, 495));
    cmdNuovo->setFont(makeFont(kTimes, 9.75, true));
    cmdNuovo->setCursor(loadPointer(QStringLiteral(":/assets/pen.cur")));
    cmdCancella =
        button(this, "cmdCancella", QStringLiteral("Cancella"), twips(4560, 2760, 1455, 495));
    cmdCancella->setFont(makeFont(kTimes, 9.75, false));
    cmdCancella->setCursor(loadPointer(QStringLiteral(":/assets/move.cur")));
    cmdEsci = button(this, "cmdEsci", QStringLiteral("&Esci"), twips(4560, 3360, 1455, 375));
    cmdEsci->setCursor(loadPointer(QStringLiteral(":/assets/stop.ico")));

    QWidget* const tabOrder[] = {txtNome,  txtChiamoro, txtCommenti, cmdSuccessivo, cmdPrecedente,
                                 cmdNuovo, cmdEsci,     cmdCancella, cmdCerca,      Text1,
                                 Command1, Command3,    Command2};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i) {
        QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }

    // Pointer movements that resize the window.
    QWidget* const hoverControls[] = {Label1, cmdEsci, Image1, txtCommenti,
                                      txtCommenti->viewport()};
    for (QWidget* control : hoverControls) {
        control->setMouseTracking(true);
        control->installEventFilter(this);
    }

    connect(cmdEsci, &QPushButton::clicked, this, [this] { run(&Rubrica::cmdEsciClick); });
    connect(cmdPrecedente, &QPushButton::clicked, this,
            [this] { run(&Rubrica::cmdPrecedenteClick); });
    connect(cmdSuccessivo, &QPushButton::clicked, this,
            [this] { run(&Rubrica::cmdSuccessivoClick); });
    connect(cmdNuovo, &QPushButton::clicked, this, [this] { run(&Rubrica::cmdNuovoClick); });
    connect(cmdCancella, &QPushButton::clicked, this, [this] { run(&Rubrica::cmdCancellaClick); });
    connect(cmdCerca, &QPushButton::clicked, this, [this] { run(&Rubrica::cmdCercaClick); });
    connect(Command1, &QPushButton::clicked, this, [this] { run(&Rubrica::command1Click); });
    connect(Command2, &QPushButton::clicked, this, [this] { run(&Rubrica::command2Click); });
    connect(Command3, &QPushButton::clicked, this, [this] { run(&Rubrica::command3Click); });
}

QString frmChiamoro::infoText() {
    const auto line = [](int spaces, const QString& text) {
        return QString(spaces, u' ') + text + QStringLiteral("\r\n");
    };
    return line(13, QStringLiteral("°ATTENZIONE!,all'avvio del programma , ")) +
           line(11, QStringLiteral("si creerà automaticamente un file \"Chiamoro.DAT\"")) +
           line(11, QStringLiteral("nella stessa posizione in qùi risiede il file exe,")) +
           line(11, QStringLiteral("NON eliminatelo! dato")) +
           line(11, QStringLiteral("che in tal caso verrebbero eliminati i vostri")) +
           line(11, QStringLiteral("numeri, nomi e commenti.")) + line(0, QString()) +
           line(10, QString(64, u'-')) + line(0, QString()) +
           line(18, QStringLiteral("Per eventuali ulteriori informazioni:")) +
           line(28, QString::fromUtf16(kContactAddress) + u' ');
}

void frmChiamoro::formLoad() {
    run(&Rubrica::formLoad);
}

void frmChiamoro::run(void (Rubrica::*handler)()) {
    if (ended_) {
        return;
    }
    (rubrica_.*handler)();
    if (rubrica_.ended()) {
        finish(rubrica_.exitStatus());
    }
}

void frmChiamoro::finish(int status) {
    ended_ = true;
    exitStatus_ = status;
    hide();
    emit finished(status);
}

void frmChiamoro::setClientHeight(int height) {
    setFixedSize(kClientWidth, height);
}

bool frmChiamoro::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove && !ended_) {
        if (watched == Label1) {
            setClientHeight(kExpandedHeight);
        } else if (watched == cmdEsci || watched == Image1 || watched == txtCommenti ||
                   watched == txtCommenti->viewport()) {
            setClientHeight(kCollapsedHeight);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmChiamoro::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kOrange);
}

void frmChiamoro::closeEvent(QCloseEvent* event) {
    // The close box ends the program without saving the shown record.
    if (!ended_) {
        finish(0);
    }
    event->accept();
}

QWidget* frmChiamoro::widgetOf(Casella box) const {
    switch (box) {
    case Casella::txtNome:
        return txtNome;
    case Casella::txtChiamoro:
        return txtChiamoro;
    case Casella::txtCommenti:
        return txtCommenti;
    }
    return txtNome;
}

std::u16string frmChiamoro::text(Casella box) const {
    switch (box) {
    case Casella::txtNome:
        return txtNome->text().toStdU16String();
    case Casella::txtChiamoro:
        return txtChiamoro->text().toStdU16String();
    case Casella::txtCommenti:
        return txtCommenti->textCrLf().toStdU16String();
    }
    return {};
}

void frmChiamoro::setText(Casella box, const std::u16string& text) {
    const QString shown = QString::fromStdU16String(text);
    switch (box) {
    case Casella::txtNome:
        txtNome->setText(shown);
        break;
    case Casella::txtChiamoro:
        txtChiamoro->setText(shown);
        break;
    case Casella::txtCommenti:
        txtCommenti->setTextCrLf(shown);
        break;
    }
}

void frmChiamoro::setTitle(const std::u16string& title) {
    setWindowTitle(QString::fromStdU16String(title));
}

void frmChiamoro::setFocus(Casella box) {
    widgetOf(box)->setFocus();
}

void frmChiamoro::setBusy(bool busy) {
    if (busy) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QGuiApplication::restoreOverrideCursor();
    }
}
