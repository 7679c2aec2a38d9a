// qmset detect: the settings dialog's trials (the seven rates without,
// with even and with odd parity), the family's usual line first, each
// waited for only as long as its rate needs.
#include "cli/commands.h"
#include "cli/interrupts.h"
#include "cli/progress.h"
#include "common/errors.h"
#include "common/inifile.h"
#include "common/report.h"
#include "headless/families.h"
#include "link/autoset.h"
#include "link/linesettings.h"
#include "radio/radioexchange.h"

namespace qm::cli {

namespace {
class NoReport : public Report {
public:
    void memo(const QString &) override {}
    void panel(int, const QString &) override {}
    void ClearFields() override {}
};
} // namespace

int Detect(const Options &o, Context &c)
{
    const Family &family = o.family ? *o.family : *FindFamily(QStringLiteral("dk618"));
    UnitSession session(family, c.progress, c.interrupts);
    QString error;
    if (!OpenPort(session, Options{.family = &family, .port = o.port}, &error))
        return Fail(c, ExitPort, error);
    NoteUnit(session, c.record, false);
    NoReport report;
    AutoSetSearch search(session.link(), report);
    search.setProbe(family.probeCommand, family.probeSelector);
    const QList<qint32> order = AutoSetSearch::TrialOrder(family.rateIndex + kRateCount * family.parityIndex);
    for (const qint32 attempt : order) {
        if (c.interrupts.count() > 0)
            return Fail(c, c.interrupts.exitCode(), QStringLiteral("interrupted"));
        c.progress.step(QStringLiteral("detect: %1%2").arg(AutoSetSearch::BpsText(attempt), AutoSetSearch::CheckText(attempt).chopped(1)));
        session.link().state().AutoSetReply = false;
        try {
            search.tryLine(attempt);
        } catch (const Error &e) {
            return Fail(c, ExitPort, e.message());
        }
        if (!session.awaitAnswer())
            continue;
        c.progress.finish();
        const QString model = family.name == QLatin1String("dk618")
            ? DecodeGbk(RadioExchange::ModelTextOfReply(session.link().state()))
            : QString();
        const qint32 rate = RateOfIndex(attempt % kRateCount);
        const QChar parity = ParityLetter(attempt / kRateCount);
        c.record.members.insert(QStringLiteral("rate"), int(rate));
        c.record.members.insert(QStringLiteral("parity"), QString(parity));
        if (!model.isEmpty())
            c.record.members.insert(QStringLiteral("model"), model);
        if (!o.json)
            Out(QStringLiteral("%1 %2 %3\n").arg(rate).arg(parity).arg(model.isEmpty() ? family.title : model));
        return ExitOk;
    }
    if (c.interrupts.count() > 0)
        return Fail(c, c.interrupts.exitCode(), QStringLiteral("interrupted"));
    return Fail(c, ExitNoAnswer,
                QStringLiteral("no answer: %1 did not answer 0x%2 at any of the 21 line settings")
                    .arg(session.port(), QString::number(family.probeCommand, 16).toUpper().rightJustified(2, QLatin1Char('0'))));
}

} // namespace qm::cli
