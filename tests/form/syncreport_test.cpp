// The sync's lines in Italian: one a change, the last one of counts, and the
// refusals, each with what became of the two sides.

#include "form/syncreport.h"
#include "store/utf8.h"

#include <gtest/gtest.h>

namespace {

using Kind = SyncEvent::Kind;

TEST(SyncReport, EachChangeIsOneLineSayingWhichContactWhichWayAndWhat) {
    const struct {
        SyncEvent event;
        const char* line;
    } cases[] = {
        {{Kind::FileCreated, u"Anna", "u1.vcf", {}, false},
         "\"Anna\": nuovo nella rubrica, scritto nella cartella come \"u1.vcf\"."},
        {{Kind::FileUpdated, u"Anna", "a.vcf", {}, false},
         "\"Anna\": modificato nella rubrica, aggiornato nella cartella (\"a.vcf\")."},
        {{Kind::RecordDeleted, u"Bruno", "b.vcf", {}, false},
         "\"Bruno\": eliminato dalla cartella (\"b.vcf\"), cancellato dalla rubrica."},
        {{Kind::RecordRestored, u"Bruno", "b.vcf", {}, false},
         "\"Bruno\": modificato nella cartella (\"b.vcf\") ma cancellato dalla rubrica: vince la "
         "modifica, aggiunto di nuovo in fondo alla rubrica."},
        {{Kind::Conflict, u"Carla\n", "c.vcf", {}, false},
         "conflitto: \"Carla\\n\" è stato modificato sia nella rubrica sia nella cartella "
         "(\"c.vcf\"): tenute entrambe le versioni, quella della cartella aggiunta in fondo alla "
         "rubrica, quella della rubrica scritta nella cartella come contatto a sé."},
        {{Kind::FileSkipped, {}, "l.vcf", {}, true},
         "\"l.vcf\": non è un file normale (per esempio è un collegamento simbolico): lasciato "
         "com'è."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(encodeUtf8(syncEventLine(c.event)), c.line);
    }
}

TEST(SyncReport, TheLastLineCountsAndARefusalSaysNothingChanged) {
    SyncReport report;
    report.counts[static_cast<std::size_t>(Kind::RecordAdded)] = 2;
    report.counts[static_cast<std::size_t>(Kind::Conflict)] = 1;
    report.counts[static_cast<std::size_t>(Kind::FileDeleted)] = 1;
    report.paired = 1;
    report.contacts = 7;
    EXPECT_EQ(encodeUtf8(syncSummaryLine("carte", report)),
              "sincronizzata con \"carte\". Rubrica: 3 aggiunti, 0 aggiornati, 0 cancellati; "
              "cartella: 1 scritto, 0 aggiornati, 1 eliminato; 1 conflitto; 1 contatto già "
              "presente da entrambe le parti; 7 contatti in comune.");
    report.problem = {SyncProblem::Kind::FolderEmptied, 0, "carte", 5};
    EXPECT_EQ(encodeUtf8(syncFailureLine("carte", report)),
              "la cartella \"carte\" è vuota o manca, ma l'ultima sincronizzazione vi aveva "
              "trovato 5 contatti: sincronizzazione rifiutata, perché cancellerebbe tutta la "
              "rubrica (un disco non montato, una sincronizzazione con il server non riuscita?). "
              "Nessun contatto è cambiato.");
    report.problem = {};
    report.status = chiamoro::Status::failure(chiamoro::FileOperation::Write, "carte/a.vcf", 28);
    report.partial = true;
    EXPECT_TRUE(encodeUtf8(syncFailureLine("carte", report))
                    .ends_with("Una parte delle modifiche è già stata fatta: la prossima "
                               "sincronizzazione la completa."));
}

} // namespace
