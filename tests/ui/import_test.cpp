// Contacts that reach the open window: files and a mail program's contact
// dropped on it, and files another "chiamoro FILE..." hands over.

#include "support/windowtest.h"
#include "ui/handoff.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using ImportWindowTest = WindowTest;

constexpr const char* kCard = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Carla\r\nTEL:333\r\nEND:VCARD\r\n";

// A drop as the desktop delivers it: entering, then dropping, at the middle of `target`.
bool drop(QWidget* target, QMimeData& data) {
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
    return dropped.isAccepted();
}

TEST_F(ImportWindowTest, DroppedFilesAndContactsAreImportedNotTyped) {
    open(record("111", "Anna"));
    writeFile("telefono.vcf", kCard);
    QMimeData file;
    file.setUrls({QUrl::fromLocalFile(QDir::current().absoluteFilePath("telefono.vcf"))});
    QMimeData contact;
    contact.setData(QStringLiteral("text/x-vcard"),
                    "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Neri;Dario\r\nTEL;CELL:444\r\nEND:VCARD\r\n");
    QMimeData picture;
    picture.setUrls({QUrl::fromLocalFile(QDir::current().absoluteFilePath("foto.png"))});

    // On the name box, which would otherwise take the file's address as text.
    EXPECT_TRUE(drop(control("txtChiamoro"), file));
    EXPECT_TRUE(drop(window.get(), contact));
    EXPECT_FALSE(drop(window.get(), picture));
    EXPECT_EQ(control<QLineEdit>("txtChiamoro")->text(), QStringLiteral("Anna"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Record  1/ 3"));
    EXPECT_EQ(readFile(kDataFileName),
              record("111", "Anna") + record("333", "Carla") + record("444", "Dario Neri"));
    ASSERT_EQ(dialogs.calls.size(), 2u);
    EXPECT_EQ(dialogs.calls[1].text, u"Da \"contatti trascinati\": importato 1 contatto.\r\n"
                                     u"La rubrica ora ha 3 contatti.");
}

TEST_F(ImportWindowTest, ASecondProgramHandsItsFilesToTheOpenWindow) {
    open(record("111", "Anna") + record("222", "Bruno"));
    HandoffServer server;
    QString error;
    ASSERT_TRUE(server.listen(&error)) << error.toStdString();
    QObject::connect(&server, &HandoffServer::filesArrived, window.get(),
                     &frmChiamoro::importFiles);
    click("cmdSuccessivo");
    control<QLineEdit>("txtChiamoro")->setText(QStringLiteral("Bruno Neri")); // not saved yet

    writeFile("telefono.vcf", kCard);
    QProcess second;
    second.start(QStringLiteral(CHIAMORO_PROGRAM), {QStringLiteral("telefono.vcf")});
    ASSERT_TRUE(second.waitForStarted());
    QSignalSpy arrived(&server, &HandoffServer::filesArrived);
    EXPECT_TRUE(arrived.wait(10000));
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();

    EXPECT_EQ(window->windowTitle(), QStringLiteral("Record  2/ 3"));
    click("cmdSuccessivo"); // saves the edit where it was made
    EXPECT_EQ(readFile(kDataFileName),
              record("111", "Anna") + record("222", "Bruno Neri") + record("333", "Carla"));
}

using HandoffTest = InTempDir;

TEST_F(HandoffTest, TheSocketGoesOnlyIntoAFolderOfTheUsersOwn) {
    ASSERT_EQ(::mkdir("aperta", 0755), 0);
    ASSERT_EQ(::mkdir("privata", 0700), 0);
    ASSERT_EQ(::symlink("privata", "collegamento"), 0);
    const QByteArray previous = qgetenv("XDG_RUNTIME_DIR");
    const struct {
        const char* folder;
        bool taken;
    } cases[] = {{"aperta", false}, {"collegamento", false}, {"privata", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        qputenv("XDG_RUNTIME_DIR", QDir::current().absoluteFilePath(c.folder).toLocal8Bit());
        QString error;
        const QString path = handoffSocketPath(&error);
        EXPECT_EQ(!path.isEmpty(), c.taken) << error.toStdString();
        EXPECT_EQ(error.isEmpty(), c.taken);
    }
    qputenv("XDG_RUNTIME_DIR", previous);
}

} // namespace
