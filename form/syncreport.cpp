#include "syncreport.h"

#include "exchange/syncstate.h"
#include "form/errorreport.h"

#include <string_view>

std::u16string syncEventLine(const SyncEvent& event) {
    using Kind = SyncEvent::Kind;
    const std::u16string who = quoted(event.name);
    const std::u16string file = quotedFile(event.file);
    switch (event.kind) {
    case Kind::FileCreated:
        return who + u": nuovo nella rubrica, scritto nella cartella come " + file + u".";
    case Kind::FileUpdated:
        return who + u": modificato nella rubrica, aggiornato nella cartella (" + file + u").";
    case Kind::FileDeleted:
        return who + u": cancellato dalla rubrica, eliminato dalla cartella (" + file + u").";
    case Kind::FileRestored:
        return who +
               u": modificato nella rubrica ma eliminato dalla cartella: vince la "
               u"modifica, scritto di nuovo nella cartella come " +
               file + u".";
    case Kind::RecordAdded:
        return who + u": nuovo nella cartella (" + file + u"), aggiunto in fondo alla rubrica.";
    case Kind::RecordUpdated:
        return who + u": modificato nella cartella (" + file + u"), aggiornato nella rubrica.";
    case Kind::RecordDeleted:
        return who + u": eliminato dalla cartella (" + file + u"), cancellato dalla rubrica.";
    case Kind::RecordRestored:
        return who + u": modificato nella cartella (" + file +
               u") ma cancellato dalla rubrica: vince la modifica, aggiunto di nuovo in fondo "
               u"alla rubrica.";
    case Kind::Conflict:
        return u"conflitto: " + who +
               u" è stato modificato sia nella rubrica sia nella "
               u"cartella (" +
               file +
               u"): tenute entrambe le versioni, quella della cartella aggiunta in fondo alla "
               u"rubrica, quella della rubrica scritta nella cartella come contatto a sé.";
    case Kind::FileSkipped:
        return file + (event.notRegular ? u": non è un file normale (per esempio è un "
                                          u"collegamento simbolico): lasciato com'è."
                       : !event.problem.ok()
                           ? u": non è una scheda vCard (ogni contatto va da BEGIN:VCARD a "
                             u"END:VCARD): lasciato com'è."
                           : u": la scheda non ha né nome, né numero, né note: lasciata com'è.");
    }
    return {};
}

std::u16string syncSummaryLine(const std::string& folder, const SyncReport& report) {
    using Kind = SyncEvent::Kind;
    const auto n = [&report](Kind kind) { return report.count(kind); };
    std::u16string line =
        u"sincronizzata con " + quotedFile(folder) + u". Rubrica: " +
        counted(n(Kind::RecordAdded) + n(Kind::RecordRestored) + n(Kind::Conflict), u"aggiunto",
                u"aggiunti") +
        u", " + counted(n(Kind::RecordUpdated), u"aggiornato", u"aggiornati") + u", " +
        counted(n(Kind::RecordDeleted), u"cancellato", u"cancellati") + u"; cartella: " +
        counted(n(Kind::FileCreated) + n(Kind::FileRestored) + n(Kind::Conflict), u"scritto",
                u"scritti") +
        u", " + counted(n(Kind::FileUpdated), u"aggiornato", u"aggiornati") + u", " +
        counted(n(Kind::FileDeleted), u"eliminato", u"eliminati") + u"; " +
        counted(n(Kind::Conflict), u"conflitto", u"conflitti");
    if (report.paired > 0) {
        line += u"; " + counted(report.paired, u"contatto già presente da entrambe le parti",
                                u"contatti già presenti da entrambe le parti");
    }
    if (n(Kind::FileSkipped) > 0) {
        line += u"; " +
                counted(n(Kind::FileSkipped), u"file lasciato com'è", u"file lasciati com'erano");
    }
    return line + u"; " + counted(report.contacts, u"contatto", u"contatti") + u" in comune.";
}

std::u16string syncFailureLine(const std::string& folder, const SyncReport& report) {
    const SyncProblem& problem = report.problem;
    const std::u16string unchanged = u" Nessun contatto è cambiato.";
    switch (problem.kind) {
    case SyncProblem::Kind::Readable:
        break;
    case SyncProblem::Kind::BadState:
        return quotedFile(problem.folder) + u", riga " + decimal(problem.line) +
               u": il file con lo stato dell'ultima sincronizzazione è danneggiato." + unchanged +
               u" Per ricominciare da capo lo si può eliminare: la sincronizzazione successiva "
               u"abbinerà i contatti uguali delle due parti.";
    case SyncProblem::Kind::OtherFolder:
        return u"la rubrica è sincronizzata con la cartella " + quotedFile(problem.folder) +
               u", non con " + quotedFile(folder) + u"." + unchanged +
               u" Per sincronizzarla con un'altra cartella, eliminare prima il file " +
               quotedFile(kSyncStateName) + u" accanto alla rubrica.";
    case SyncProblem::Kind::FolderEmptied:
        return u"la cartella " + quotedFile(folder) +
               u" è vuota o manca, ma l'ultima sincronizzazione vi aveva trovato " +
               counted(problem.contacts, u"contatto", u"contatti") +
               u": sincronizzazione rifiutata, perché cancellerebbe tutta la rubrica (un disco "
               u"non montato, una sincronizzazione con il server non riuscita?)." +
               unchanged;
    case SyncProblem::Kind::BookEmptied:
        return u"la rubrica è vuota, ma l'ultima sincronizzazione vi aveva trovato " +
               counted(problem.contacts, u"contatto", u"contatti") +
               u": sincronizzazione rifiutata, perché eliminerebbe tutte le schede della "
               u"cartella." +
               unchanged + u" Per svuotare davvero anche la cartella: --conferma-vuota.";
    }
    return failureSentence(report.status) +
           (report.partial ? u" Una parte delle modifiche è già stata fatta: la prossima "
                             u"sincronizzazione la completa."
                           : unchanged);
}
