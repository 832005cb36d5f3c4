#include "frmchiamoro.h"

#include "ui/frameshape.h"
#include "ui/layout.h"
#include "ui/limitedtextedit.h"
#include "ui/pointers.h"
#include "ui/qtdialogs.h"

#include <QCloseEvent>
#include <QColor>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryFile>
#include <QUrl>
#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using layout::Kind;
using layout::pixels;

QColor qColor(layout::Colour colour) {
    return QColor(colour.red, colour.green, colour.blue);
}

// Fonts of the layout that the system may lack, and what stands in for them.
// Arial and Times New Roman are covered by fontconfig's own aliases for the
// metric-compatible Liberation fonts.
void installFontSubstitutes() {
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Comic Sans MS"), QStringLiteral("Comic Neue"));
}

QFont qFont(const layout::Font& font) {
    QFont chosen(QString::fromUtf16(font.family));
    chosen.setPointSizeF(font.points);
    chosen.setWeight(font.bold ? QFont::Bold : QFont::Normal);
    return chosen;
}

QRect pixelRect(const layout::Place& twips) {
    const layout::Place place = layout::inPixels(twips);
    return QRect(place.left, place.top, place.width, place.height);
}

// The palette roles of a control's text colour and of the colour behind it (a
// frame's one colour is its line's).
std::pair<QPalette::ColorRole, QPalette::ColorRole> colourRoles(Kind kind) {
    switch (kind) {
    case Kind::textBox:
    case Kind::textArea:
        return {QPalette::Text, QPalette::Base};
    case Kind::button:
        return {QPalette::ButtonText, QPalette::Button};
    case Kind::frame:
    case Kind::picture:
    case Kind::label:
        break;
    }
    return {QPalette::WindowText, QPalette::Window};
}

void setColours(QWidget* control, const layout::Control& row) {
    if (!row.foreColour && !row.backColour) {
        return;
    }
    const auto [foreRole, backRole] = colourRoles(row.kind);
    QPalette colours = control->palette();
    if (row.foreColour) {
        colours.setColor(foreRole, qColor(*row.foreColour));
    }
    if (row.backColour) {
        colours.setColor(backRole, qColor(*row.backColour));
        if (backRole == QPalette::Window) {
            control->setAutoFillBackground(true); // a label paints none of its own
        }
    }
    control->setPalette(colours);
}

// Where a button's click goes: the handler of the same name.
const struct {
    const char* button;
    void (Rubrica::*handler)();
} kClicks[] = {
    {"cmdEsci", &Rubrica::cmdEsciClick},
    {"cmdPrecedente", &Rubrica::cmdPrecedenteClick},
    {"cmdSuccessivo", &Rubrica::cmdSuccessivoClick},
    {"cmdNuovo", &Rubrica::cmdNuovoClick},
    {"cmdCancella", &Rubrica::cmdCancellaClick},
    {"cmdCerca", &Rubrica::cmdCercaClick},
    {"Command1", &Rubrica::command1Click},
    {"Command2", &Rubrica::command2Click},
    {"Command3", &Rubrica::command3Click},
};

// A control the window works with by name, once the table has made it.
template <typename Control> Control* built(const QWidget* window, const char* name) {
    auto* control = dynamic_cast<Control*>(
        window->findChild<QWidget*>(QLatin1String(name), Qt::FindDirectChildrenOnly));
    if (control == nullptr) {
        qFatal("The layout has no control %s of the kind the window expects", name);
    }
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
    setFont(qFont(layout::kWindowFont));
    setWindowIcon(QIcon(QStringLiteral(":/assets/chiamoro.ico")));
    setFixedSize(pixels(layout::kClientWidth), pixels(layout::kClientHeight));
    createControls();
    txtNome->setFocus();
}

frmChiamoro::~frmChiamoro() = default;

QWidget* frmChiamoro::createControl(const layout::Control& row) {
    const QString caption = QString::fromUtf16(row.caption);
    QWidget* control = nullptr;
    switch (row.kind) {
    case Kind::frame: {
        auto* frame = new FrameShape(this);
        if (row.foreColour) {
            frame->setLineColor(qColor(*row.foreColour));
        }
        control = frame;
        break;
    }
    case Kind::picture:
    case Kind::label: {
        auto* label = new QLabel(caption, this);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        if (row.picture) {
            label->setPixmap(QPixmap(QLatin1String(row.picture)));
        }
        control = label;
        break;
    }
    case Kind::textBox: {
        auto* box = new QLineEdit(this);
        if (row.maxLength > 0) {
            box->setMaxLength(row.maxLength);
        }
        control = box;
        break;
    }
    case Kind::textArea: {
        auto* box = new LimitedTextEdit(this);
        if (row.maxLength > 0) {
            box->setMaxLength(row.maxLength);
        }
        control = box;
        break;
    }
    case Kind::button: {
        auto* button = new QPushButton(caption, this);
        button->setAutoDefault(false);
        button->setDefault(false);
        for (const auto& click : kClicks) {
            if (std::string_view(click.button) == row.name) {
                connect(button, &QPushButton::clicked, this,
                        [this, handler = click.handler] { run(handler); });
            }
        }
        control = button;
        break;
    }
    }
    control->setObjectName(QLatin1String(row.name));
    control->setGeometry(pixelRect(row.place));
    control->setFont(qFont(row.font));
    if (row.kind != Kind::frame) {
        setColours(control, row);
    }
    if (row.pointer) {
        control->setCursor(loadPointer(QLatin1String(row.pointer)));
    }
    control->setToolTip(QString::fromUtf16(row.tooltip));
    return control;
}

void frmChiamoro::createControls() {
    // In the table's order, which stacks them: the frame at the bottom, then
    // the picture, the labels, and the text boxes and buttons above them all.
    std::vector<std::pair<int, QWidget*>> tabOrder;
    for (const layout::Control& row : layout::kControls) {
        QWidget* control = createControl(row);
        if (row.tabIndex != layout::kNoTabStop) {
            tabOrder.emplace_back(row.tabIndex, control);
        }
    }
    std::sort(tabOrder.begin(), tabOrder.end());
    for (std::size_t i = 1; i < tabOrder.size(); ++i) {
        QWidget::setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);
    }

    Image1 = built<QLabel>(this, "Image1");
    Label1 = built<QLabel>(this, "Label1");
    txtNome = built<QLineEdit>(this, "txtNome");
    txtChiamoro = built<QLineEdit>(this, "txtChiamoro");
    txtCommenti = built<LimitedTextEdit>(this, "txtCommenti");
    Text1 = built<LimitedTextEdit>(this, "Text1");
    cmdEsci = built<QPushButton>(this, "cmdEsci");

    Text1->setTextCrLf(infoText());
    Text1->setAccessibleName(QStringLiteral("Info"));

    // The contact boxes are known by their captions.
    const std::pair<const char*, QWidget*> captions[] = {
        {"lblChiamoro", txtNome}, {"lblNome", txtChiamoro}, {"lblCommenti", txtCommenti}};
    for (const auto& [name, box] : captions) {
        auto* label = built<QLabel>(this, name);
        label->setBuddy(box);
        box->setAccessibleName(label->text());
    }

    // Pointer movements that resize the window.
    QWidget* const hoverControls[] = {Label1, cmdEsci, Image1, txtCommenti,
                                      txtCommenti->viewport()};
    for (QWidget* control : hoverControls) {
        control->setMouseTracking(true);
        control->installEventFilter(this);
    }

    // Files and contacts dropped anywhere on the window, boxes included,
    // which would otherwise take a file's name as text.
    setAcceptDrops(true);
    for (QWidget* child : findChildren<QWidget*>()) {
        child->installEventFilter(this);
    }
}

namespace {

// The types under which mail programs drag a contact.
const char* const kVCardTypes[] = {"text/vcard", "text/x-vcard", "text/directory"};

// Whether a drop brings contacts: files whose names say a format the import
// reads, or vCard data.
bool bringsContacts(const QMimeData* data) {
    if (data == nullptr) {
        return false;
    }
    for (const char* type : kVCardTypes) {
        if (data->hasFormat(QString::fromLatin1(type))) {
            return true;
        }
    }
    if (!data->hasUrls()) {
        return false;
    }
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile() || !formatOf(QFile::encodeName(url.toLocalFile()).toStdString())) {
            return false;
        }
    }
    return true;
}

} // namespace

bool frmChiamoro::takeDrop(QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (ended_ || importing_ || !bringsContacts(drag->mimeData())) {
            return false;
        }
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (ended_ || importing_ || !bringsContacts(drop->mimeData())) {
            return false;
        }
        drop->acceptProposedAction();
        dropped(*drop->mimeData());
        return true;
    }
    default:
        return false;
    }
}

void frmChiamoro::dropped(const QMimeData& data) {
    std::vector<ImportSource> sources;
    if (data.hasUrls()) {
        for (const QUrl& url : data.urls()) {
            const std::string path = QFile::encodeName(url.toLocalFile()).toStdString();
            sources.push_back({path, path, std::nullopt});
        }
    } else {
        // The mail program's contact, in a file of its own for the import;
        // private (0600), made anew, and gone afterwards.
        QTemporaryFile file(QDir::tempPath() + QStringLiteral("/chiamoro-XXXXXX.vcf"));
        QByteArray bytes;
        for (const char* type : kVCardTypes) {
            if (data.hasFormat(QString::fromLatin1(type))) {
                bytes = data.data(QString::fromLatin1(type));
                break;
            }
        }
        if (!file.open() || file.write(bytes) != bytes.size() || !file.flush()) {
            dialogs_.messageBox(u"Non è stato possibile mettere da parte i contatti trascinati: " +
                                    file.errorString().toStdU16String() +
                                    u". Nessun contatto è stato importato.",
                                Stile::Avviso);
            return;
        }
        importSources({{QFile::encodeName(file.fileName()).toStdString(), "contatti trascinati",
                        Formato::VCard}});
        return;
    }
    importSources(sources);
}

void frmChiamoro::importFiles(const QStringList& files) {
    std::vector<ImportSource> sources;
    for (const QString& file : files) {
        const std::string path = QFile::encodeName(file).toStdString();
        sources.push_back({path, path, std::nullopt});
    }
    importSources(sources);
}

void frmChiamoro::importSources(const std::vector<ImportSource>& sources) {
    if (ended_) {
        return;
    }
    // Files that come while an import runs (the progress dialog lets events
    // through) wait for it to end.
    pending_.insert(pending_.end(), sources.begin(), sources.end());
    if (importing_) {
        return;
    }
    importing_ = true;
    while (!pending_.empty() && !ended_) {
        std::vector<ImportSource> next;
        next.swap(pending_);
        rubrica_.importFiles(next);
        if (rubrica_.ended()) {
            finish(rubrica_.exitStatus());
        }
    }
    importing_ = false;
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
    setFixedSize(pixels(layout::kClientWidth), height);
}

bool frmChiamoro::event(QEvent* event) {
    return takeDrop(event) || QWidget::event(event);
}

bool frmChiamoro::eventFilter(QObject* watched, QEvent* event) {
    if (takeDrop(event)) {
        return true;
    }
    if (event->type() == QEvent::MouseMove && !ended_) {
        if (watched == Label1) {
            setClientHeight(pixels(layout::kExpandedHeight));
        } else if (watched == cmdEsci || watched == Image1 || watched == txtCommenti ||
                   watched == txtCommenti->viewport()) {
            setClientHeight(pixels(layout::kCollapsedHeight));
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmChiamoro::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), qColor(layout::kBackColour));
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
