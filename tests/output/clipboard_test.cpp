// "Copia Contatto" in the real program on a private X server, read back by another X client.

#include "form/contacttext.h"
#include "support/records.h"
#include "support/tempdir.h"
#include "xsession.h"

#include <QElapsedTimer>
#include <QImage>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>

namespace {

// A point inside a control laid out at (left, top, width, height) twips: its
// centre, in pixels of the window's client area (15 twips to the pixel).
QString centre(int left, int top, int width, int height) {
    return QStringLiteral("%1 %2").arg((left + width / 2) / 15).arg((top + height / 2) / 15);
}
const QString kCopiaContatto = centre(1080, 3360, 1695, 375);
const QString kNameBox = centre(1080, 1080, 3255, 495);

// Keeps waiting while `condition` is false, up to a generous limit that only a
// broken program reaches.
template <typename Condition> bool eventually(Condition condition) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > 60'000) {
            return false;
        }
        QThread::msleep(20);
    }
    return true;
}

// "Copia Contatto" in the real program, on a private X server; the clipboard
// is read by xclip, another X client, while the program runs.
class CopiaContatto : public InTempDir {
protected:
    void SetUp() override {
        InTempDir::SetUp();
        QString error;
        ASSERT_TRUE(x_.start(&error)) << error.toStdString();
    }

    void TearDown() override {
        if (program_ && program_->state() != QProcess::NotRunning) {
            program_->kill();
            program_->waitForFinished(10'000);
        }
        program_.reset();
        InTempDir::TearDown();
    }

    // Starts the program in the test's folder and waits for its window.
    void start(const QString& title) {
        program_ = std::make_unique<QProcess>();
        QProcessEnvironment environment = x_.environment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("it_IT.UTF-8"));
        // Its socket for a second start, in the test's folder.
        const std::string runtime = dir() + "/runtime";
        ::mkdir(runtime.c_str(), 0700);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(runtime));
        program_->setProcessEnvironment(environment);
        program_->setWorkingDirectory(QString::fromStdString(dir()));
        program_->setStandardInputFile(QProcess::nullDevice());
        program_->setProcessChannelMode(QProcess::MergedChannels);
        program_->start(QStringLiteral(CHIAMORO_PROGRAM), QStringList());
        ASSERT_TRUE(program_->waitForStarted(30'000)) << program_->errorString().toStdString();

        const QStringList search = {"search", "--onlyvisible", "--name",
                                    "^" + QRegularExpression::escape(title) + "$"};
        ASSERT_TRUE(eventually([&] {
            if (ended()) {
                return true;
            }
            window_ = QString::fromLatin1(x_.run("xdotool", search).trimmed());
            return !window_.isEmpty();
        })) << "no window titled "
            << title.toStdString() << "; windows: " << windowTitles();
        ASSERT_FALSE(ended()) << "the program ended with status " << program_->exitCode() << ": "
                              << program_->readAll().toStdString();
        ASSERT_FALSE(window_.contains('\n')) << "more than one window: " << window_.toStdString();
        xdotool({"windowfocus", "--sync", window_});
    }

    // Whether the program has ended; QProcess notices only when asked.
    bool ended() {
        return program_->state() == QProcess::NotRunning || program_->waitForFinished(0);
    }

    std::string windowTitles() {
        std::string titles;
        const QByteArray ids = x_.run("xdotool", {"search", "--onlyvisible", "--name", "."});
        for (const QByteArray& id : ids.split('\n')) {
            if (!id.isEmpty()) {
                titles += "[" +
                          x_.run("xdotool", {"getwindowname", QString::fromLatin1(id)})
                              .trimmed()
                              .toStdString() +
                          "] ";
            }
        }
        return titles;
    }

    void xdotool(const QStringList& arguments) {
        int status = 0;
        x_.run("xdotool", arguments, &status);
        EXPECT_EQ(status, 0) << "xdotool " << arguments.join(' ').toStdString();
    }

    void clickAt(const QString& point) {
        xdotool(QStringList{"mousemove", "--window", window_} + point.split(' ') +
                QStringList{"click", "1"});
    }

    QString title() {
        return QString::fromUtf8(x_.run("xdotool", {"getwindowname", window_}).trimmed());
    }

    QStringList targets() {
        int status = 0;
        const QByteArray list =
            x_.run("xclip", {"-o", "-selection", "clipboard", "-t", "TARGETS"}, &status);
        return status == 0 ? QString::fromLatin1(list).split('\n', Qt::SkipEmptyParts)
                           : QStringList();
    }

    // Puts a picture on the clipboard, as another program would.
    void putPicture() {
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::red);
        ASSERT_TRUE(picture.save("picture.png"));
        QProcess xclip;
        xclip.setProcessEnvironment(x_.environment());
        xclip.setStandardOutputFile(QProcess::nullDevice());
        xclip.setStandardErrorFile(QProcess::nullDevice());
        // xclip goes into the background and from there takes the clipboard,
        // which it holds until another client takes it over.
        xclip.start("xclip", {"-i", "-selection", "clipboard", "-t", "image/png", "picture.png"});
        ASSERT_TRUE(xclip.waitForFinished(30'000));
        ASSERT_TRUE(eventually([&] { return targets().contains("image/png"); }))
            << "xclip did not take the clipboard";
    }

    // Clicks "Copia Contatto" over a picture on the clipboard and returns what
    // the clipboard then holds as text, in UTF-8.
    QByteArray copy() {
        putPicture();
        clickAt(kCopiaContatto);
        QStringList offered;
        EXPECT_TRUE(eventually([&] {
            offered = targets();
            return offered.contains("UTF8_STRING") || ended();
        })) << "the clipboard never held text";
        EXPECT_FALSE(ended()) << "the program ended with status " << program_->exitCode() << ": "
                              << program_->readAll().toStdString();

        // The picture is gone; only plain text is offered (besides the
        // protocol's own entries).
        for (const QString& target : offered) {
            EXPECT_TRUE(target == "TARGETS" || target == "MULTIPLE" || target == "TIMESTAMP" ||
                        target == "SAVE_TARGETS" || target == "UTF8_STRING" || target == "STRING" ||
                        target == "TEXT" || target == "COMPOUND_TEXT" ||
                        target.startsWith("text/plain"))
                << "offered as " << target.toStdString();
        }
        return x_.run("xclip", {"-o", "-selection", "clipboard"});
    }

    XServer x_;
    std::unique_ptr<QProcess> program_;
    QString window_;
};

std::string bytes(const std::u16string& text) {
    return QString::fromStdU16String(text).toUtf8().toStdString();
}

TEST_F(CopiaContatto, EmptyBoxesGiveTheFiftyFiveCharacterFrame) {
    ASSERT_NO_FATAL_FAILURE(start("Record  1/ 1"));
    const QByteArray copied = copy();
    EXPECT_EQ(copied.toStdString(), bytes(clipboardText({}, {}, {})));
    EXPECT_EQ(copied.size(), 55);
    EXPECT_EQ(readFile("Chiamoro.DAT"), "") << "the copy saved the record";
    EXPECT_EQ(title(), "Record  1/ 1");
}

TEST_F(CopiaContatto, BlanksAtBothEndsAndAccentedLettersArriveAsTheyAre) {
    const std::string data =
        record(u"+39 333 1234567", u"Zoè Nicolò", u"più tardi, 5 €\r\n  città: Forlì") +
        record(u"06 5551234", u"Bruno", u"");
    writeFile("Chiamoro.DAT", data);
    ASSERT_NO_FATAL_FAILURE(start("Record  1/ 2"));

    // Blanks typed at both ends of the name.
    clickAt(kNameBox);
    xdotool({"key", "End"});
    xdotool({"type", "--", "  "});
    xdotool({"key", "Home"});
    xdotool({"type", "--", "  "});

    EXPECT_EQ(copy().toStdString(), bytes(clipboardText(u"  Zoè Nicolò  ", u"+39 333 1234567",
                                                        u"più tardi, 5 €\r\n  città: Forlì")));
    EXPECT_EQ(readFile("Chiamoro.DAT"), data) << "the copy saved the record";
}

TEST_F(CopiaContatto, UnsavedEditIsCopiedWhileTheFileKeepsTheOldRecord) {
    const std::string data =
        record(u"06 5551234", u"Mario Rossi", u"ufficio") + record(u"02 999", u"Bruno", u"");
    writeFile("Chiamoro.DAT", data);
    ASSERT_NO_FATAL_FAILURE(start("Record  1/ 2"));

    // The number box has the focus at start-up.
    xdotool({"key", "ctrl+a"});
    xdotool({"type", "--", "347 0000000"});

    const std::string expected = bytes(clipboardText(u"Mario Rossi", u"347 0000000", u"ufficio"));
    EXPECT_EQ(copy().toStdString(), expected);
    // Twice in a row: the same text, and still nothing saved or moved.
    EXPECT_EQ(copy().toStdString(), expected);
    EXPECT_EQ(readFile("Chiamoro.DAT"), data);
    EXPECT_EQ(title(), "Record  1/ 2");
}

} // namespace
