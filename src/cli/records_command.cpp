#include "cli/records_command.h"

#include "base/process_signals.h"
#include "cli/exit_codes.h"
#include "cli/terminal_output.h"
#include "history/text_forms.h"
#include "recipe/recipe_check.h"
#include "recipe/recipe_file.h"
#include "recipe/trusted_keys.h"
#include "records/background_sync.h"
#include "records/central_schema.h"
#include "records/recipe_records.h"
#include "records/records_address.h"
#include "records/records_sync.h"
#include "records/station_roles.h"

#include <QEventLoop>

namespace posflash {
namespace {

QString notSent(const QString& shown, const SyncOutcome& outcome) {
    return QStringLiteral("posflash-cli: warning: records not sent to %1: %2%3; they stay in the "
                          "local history for the next sync\n")
        .arg(shown, outcome.status.error().text,
             outcome.sent > 0 ? QStringLiteral(" after %1 were sent").arg(outcome.sent)
                              : QString());
}

// A step may wait for another station's init (the lock) or rewrite a large table.
constexpr int kInitStatementMs = 300000;

// The rows a pass set aside, for a warning: the first few, then how many more.
QString refusedWarning(const QString& shown, const SyncOutcome& outcome) {
    constexpr int kNamed = 5;
    QString text =
        QStringLiteral("posflash-cli: warning: %1 refused %2 (set aside, the others "
                       "were sent; posflash-cli records status lists them):\n")
            .arg(shown, outcome.setAside == 1 ? QStringLiteral("1 record")
                                              : QStringLiteral("%1 records").arg(outcome.setAside));
    for (int i = 0; i < outcome.refusals.size() && i < kNamed; ++i)
        text +=
            QStringLiteral("  ") + EscapedName(outcome.refusals[i].toUtf8()) + QLatin1Char('\n');
    if (outcome.refusals.size() > kNamed)
        text += QStringLiteral("  and %1 more\n").arg(outcome.refusals.size() - kNamed);
    return text;
}

int status(TerminalOutput& out, TerminalOutput& err) {
    const QString path = HistoryStore::defaultPath();
    const Result<SyncState> state = SyncMarks::State(path);
    if (!state) {
        err.write(QStringLiteral("posflash-cli: records status: %1\n").arg(state.error().text));
        return kExitFailed;
    }
    out.write(QStringLiteral("%1: %2 records, %3 sent to the line, %4 waiting, %5 set aside\n")
                  .arg(path)
                  .arg(state->records)
                  .arg(state->sent)
                  .arg(state->waiting)
                  .arg(state->setAside.size()));
    if (state->setAside.empty())
        return kExitCompleted;
    out.write(QStringLiteral("set aside (the line's server refused them; they are sent again "
                             "once its table's rules change):\n"));
    for (const SetAsideRow& row : state->setAside)
        out.write(
            QStringLiteral("  %1  %2  %3  %4\n")
                .arg(row.startedAt, row.uuid,
                     row.label.isEmpty() ? QStringLiteral("-") : EscapedName(row.label.toUtf8()),
                     EscapedName(row.message.toUtf8())));
    return kExitCompleted;
}

int init(const RecordsAddress& address, TerminalOutput& out, TerminalOutput& err) {
    PgLink central(address, {kInitStatementMs});
    const Status opened = central.open();
    Result<int> found = opened ? InitCentralSchema(central) : Result<int>(opened.error());
    if (!found) {
        err.write(QStringLiteral("posflash-cli: records init: %1: %2\n")
                      .arg(address.shown(), found.error().text));
        return kExitFailed;
    }
    out.write(*found == CentralSchemaVersion()
                  ? QStringLiteral("the records schema of %1 is up to date (version %2)\n")
                        .arg(address.shown())
                        .arg(*found)
                  : QStringLiteral("the records schema of %1 is at version %2 (it was at %3)\n")
                        .arg(address.shown())
                        .arg(CentralSchemaVersion())
                        .arg(*found));
    return kExitCompleted;
}

// A recipe goes to the line only as this station would run it: signed by a key it trusts, not
// expired. The stations verify it again themselves.
int publishRecipe(const RecordsAddress& address, const QString& path, TerminalOutput& out,
                  TerminalOutput& err) {
    const auto refused = [&err](const QString& why) {
        err.write(QStringLiteral("posflash-cli: records publish-recipe: %1\n").arg(why));
        return kExitUsage;
    };
    Result<RecipeFiles> files = ReadRecipeFiles(path);
    if (!files)
        return refused(files.error().text);
    const TrustedKeys trusted = LoadTrustedKeys(TrustedKeyFolders::station());
    const RecipeVerdict verdict = VerifyRecipe(files->recipe, files->signature, trusted.keys,
                                               QDateTime::currentDateTimeUtc());
    if (!verdict.ok())
        return refused(QStringLiteral("%1: %2 (%3)")
                           .arg(path, RecipeCauseName(verdict.cause), verdict.detail));
    PgLink central(address);
    Status published = central.open();
    if (published)
        published = PublishRecipe(central, {verdict.approved->recipe.name, files->recipe,
                                            *files->signature, verdict.approved->recipeSha256,
                                            verdict.approved->recipe.sequence});
    if (!published) {
        err.write(QStringLiteral("posflash-cli: records publish-recipe: %1: %2\n")
                      .arg(address.shown(), published.error().text));
        return kExitFailed;
    }
    out.write(QStringLiteral("published recipe %1, sequence %2 (signed by key %3) to %4\n")
                  .arg(verdict.approved->recipe.name)
                  .arg(verdict.approved->recipe.sequence)
                  .arg(verdict.approved->signerKeyId, address.shown()));
    return kExitCompleted;
}

// The owner maps a role to its station and grants what a station needs, or takes both back.
int grantStation(const RecordsAddress& address, const QStringList& words, TerminalOutput& out,
                 TerminalOutput& err) {
    const bool grant = words[1] == QLatin1String("grant-station");
    PgLink central(address);
    Status done = central.open();
    std::optional<QString> had;
    if (done && grant) {
        done = GrantStation(central, words[2], words[3]);
    } else if (done) {
        Result<std::optional<QString>> revoked = RevokeStation(central, words[2]);
        done = revoked ? Status() : Status(revoked.error());
        if (revoked)
            had = *revoked;
    }
    if (!done) {
        err.write(QStringLiteral("posflash-cli: records %1: %2: %3\n")
                      .arg(words[1], address.shown(), EscapedName(done.error().text.toUtf8())));
        return kExitFailed;
    }
    const QString role = EscapedName(words[2].toUtf8());
    if (grant)
        out.write(QStringLiteral("the role %1 sends the records of station %2 to %3\n")
                      .arg(role, EscapedName(words[3].toUtf8()), address.shown()));
    else
        out.write(had ? QStringLiteral("the role %1 is no longer station %2's on %3\n")
                            .arg(role, EscapedName(had->toUtf8()), address.shown())
                      : QStringLiteral("the role %1 had no station on %2; its rights on the "
                                       "records are revoked\n")
                            .arg(role, address.shown()));
    return kExitCompleted;
}

int syncOnce(const CliArguments& args, const QString& text, ProcessSignals& stops,
             TerminalOutput& out, TerminalOutput& err,
             std::vector<std::function<bool()>>& threadsLeft) {
    BackgroundSync::Options options;
    if (args.isSet("records-batch"))
        options.batchRows = std::max(1, args.value("records-batch").toInt());
    BackgroundSync sync(HistoryStore::defaultPath(), options);
    threadsLeft.push_back(sync.threadsWatch());
    if (args.isSet("verbose"))
        QObject::connect(&sync, &BackgroundSync::batchSent, [&err](int sent) {
            err.write(QStringLiteral("posflash-cli: records: %1 sent so far\n").arg(sent));
        });
    QEventLoop loop;
    QObject::connect(&sync, &BackgroundSync::idle, &loop, &QEventLoop::quit);
    // A stop leaves a pass blocked in libpq to end alone; what it committed is marked or is
    // sent again next time.
    bool stopped = false;
    stops.watch([&] {
        stopped = true;
        loop.quit();
    });
    if (Status started = sync.start(text); !started) {
        stops.watch(nullptr);
        err.write(QStringLiteral("posflash-cli: %1\n").arg(started.error().text));
        return kExitUsage;
    }
    if (!stops.arrived())
        loop.exec();
    stops.watch(nullptr);
    if (stopped || sync.busy())
        return kExitFailed;
    const SyncOutcome& outcome = sync.last();
    if (!outcome.status) {
        err.write(notSent(sync.shownAddress(), outcome));
        return kExitFailed;
    }
    if (outcome.setAside > 0)
        err.write(refusedWarning(sync.shownAddress(), outcome));
    else if (outcome.setAsideInAll > 0)
        err.write(QStringLiteral("posflash-cli: %1 set aside earlier stay set aside until the "
                                 "line's table takes them (posflash-cli records status)\n")
                      .arg(outcome.setAsideInAll == 1
                               ? QStringLiteral("1 record")
                               : QStringLiteral("%1 records").arg(outcome.setAsideInAll)));
    out.write(outcome.sent > 0
                  ? (outcome.sent == 1
                         ? QStringLiteral("sent 1 record to %1\n").arg(sync.shownAddress())
                         : QStringLiteral("sent %1 records to %2\n")
                               .arg(outcome.sent)
                               .arg(sync.shownAddress()))
                  : QStringLiteral("no records to send to %1\n").arg(sync.shownAddress()));
    return outcome.setAside > 0 ? kExitFailed : kExitCompleted;
}

} // namespace

QString RecordsAddressText(const CliArguments& args) {
    // The option wins over the environment; nothing set: no records.
    if (args.isSet("records"))
        return args.value("records");
    return qEnvironmentVariable("POSFLASH_RECORDS");
}

void WarnOfPasswordInArguments(const CliArguments& args, TerminalOutput& err) {
    if (!args.isSet("records"))
        return;
    const QString text = args.value("records");
    const Result<RecordsAddress> address = ParseRecordsAddress(text);
    if ((address && !address->password.isEmpty()) || RedactedRecordsAddress(text) != text)
        err.write(QStringLiteral(
            "posflash-cli: warning: the password given with --records is visible to every user "
            "of this computer in the process list; keep it in ~/.pgpass or the file "
            "PGPASSFILE names instead\n"));
}

int RecordsCommand(const CliArguments& args, ProcessSignals& stops, TerminalOutput& out,
                   TerminalOutput& err, std::vector<std::function<bool()>>& threadsLeft) {
    const QStringList words = args.positionalArguments();
    const bool publish = words.value(1) == "publish-recipe";
    const bool stations = words.value(1) == "grant-station" || words.value(1) == "revoke-station";
    if (publish && words.size() != 3) {
        err.write(
            QStringLiteral("posflash-cli: records publish-recipe needs exactly one RECIPE\n"));
        return kExitUsage;
    }
    if (stations && words.size() != (words[1] == "grant-station" ? 4 : 3)) {
        err.write(words[1] == "grant-station"
                      ? QStringLiteral("posflash-cli: records grant-station needs a ROLE and a "
                                       "STATION\n")
                      : QStringLiteral("posflash-cli: records revoke-station needs a ROLE\n"));
        return kExitUsage;
    }
    if (!publish && !stations &&
        (words.size() != 2 || (words[1] != "init" && words[1] != "sync" && words[1] != "status"))) {
        err.write(QStringLiteral("posflash-cli: records takes init, sync, status, "
                                 "publish-recipe, grant-station or revoke-station\n"));
        return kExitUsage;
    }
    if (words[1] == "status")
        return status(out, err);
    const QString text = RecordsAddressText(args);
    if (text.isEmpty()) {
        err.write(QStringLiteral("posflash-cli: records %1 needs --records URI or the "
                                 "environment variable POSFLASH_RECORDS\n")
                      .arg(words[1]));
        return kExitUsage;
    }
    if (words[1] == "sync")
        return syncOnce(args, text, stops, out, err, threadsLeft);
    const Result<RecordsAddress> address = ParseRecordsAddress(text);
    if (!address) {
        err.write(QStringLiteral("posflash-cli: %1\n").arg(address.error().text));
        return kExitUsage;
    }
    if (publish)
        return publishRecipe(*address, words[2], out, err);
    if (stations)
        return grantStation(*address, words, out, err);
    return init(*address, out, err);
}

Result<RecordsAddress> CentralAddress(const CliArguments& args) {
    const QString text = RecordsAddressText(args);
    if (text.isEmpty())
        return Error{0, QStringLiteral("--central needs --records URI or the environment "
                                       "variable POSFLASH_RECORDS")};
    return ParseRecordsAddress(text);
}

Result<std::vector<HistoryRecord>> CentralHistory(const CliArguments& args, int limit) {
    const Result<RecordsAddress> address = CentralAddress(args);
    if (!address)
        return address.error();
    auto found = CentralRecords(*address, limit);
    if (!found)
        return Error{0, address->shown() + QStringLiteral(": ") + found.error().text};
    return found;
}

DownloadRecords::DownloadRecords(const CliArguments& args, TerminalOutput& err,
                                 std::vector<std::function<bool()>>& threadsLeft)
    : err_(err) {
    const QString text = RecordsAddressText(args);
    if (text.isEmpty())
        return;
    sync_ = std::make_unique<BackgroundSync>();
    threadsLeft.push_back(sync_->threadsWatch());
    QObject::connect(sync_.get(), &BackgroundSync::passEnded, [this](const SyncOutcome& outcome) {
        if (warned_)
            return;
        if (outcome.setAside > 0) {
            warned_ = true;
            err_.write(refusedWarning(sync_->shownAddress(), outcome));
        }
        // An outage is expected on a line's station: the rows wait quietly for the next sync.
        if (outcome.status.ok() || HasTrouble(outcome.status, records_trouble::kOffline))
            return;
        warned_ = true;
        err_.write(notSent(sync_->shownAddress(), outcome));
    });
    if (Status started = sync_->start(text); !started) {
        err_.write(QStringLiteral("posflash-cli: warning: %1; the downloads stay in the local "
                                  "history\n")
                       .arg(started.error().text));
        sync_.reset();
    }
}

DownloadRecords::~DownloadRecords() {
    if (!sync_)
        return;
    // The first pass found the server away or refusing, or the server has let it wait for a
    // while already (silent, or slower than a line's should be): this run's rows wait for the
    // next sync rather than the download for the network.
    if (!sync_->busy() && !sync_->last().status)
        return;
    if (sync_->unansweredMs() >= kUnansweredPatienceMs)
        return;
    sync_->syncNow();
    sync_->waitIdle(kExitWaitMs);
}

} // namespace posflash
