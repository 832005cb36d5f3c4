#include "phonebookwindow.h"

#include "store/contatto.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

std::string record(const std::u16string& numero, const std::u16string& nome,
                   const std::u16string& commenti) {
    Contatto contact;
    contact.Numero = fitField(numero, kLarghezzaNumero);
    contact.Nome = fitField(nome, kLarghezzaNome);
    contact.Commenti = fitField(commenti, kLarghezzaCommenti);
    std::string bytes(kLunghezzaRecord, '\0');
    encodeRecord(contact, bytes.data());
    return bytes;
}

void PhoneBookWindow::open(const std::string& data) {
    writeFile("Chiamoro.DAT", data);
    window = std::make_unique<frmChiamoro>(dialogs);
    window->formLoad();
    ASSERT_FALSE(window->hasEnded());
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
}

void PhoneBookWindow::TearDown() {
    window.reset();
    InTempDir::TearDown();
}

QWidget* PhoneBookWindow::control(const char* name) const {
    auto* found = window->findChild<QWidget*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QLineEdit* PhoneBookWindow::box(const char* name) const {
    return qobject_cast<QLineEdit*>(control(name));
}

QPushButton* PhoneBookWindow::button(const char* name) const {
    return qobject_cast<QPushButton*>(control(name));
}

void PhoneBookWindow::click(const char* name) const {
    QTest::mouseClick(button(name), Qt::LeftButton);
}
