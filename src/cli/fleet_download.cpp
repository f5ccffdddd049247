#include "cli/fleet_download.h"

#include "cli/download_view.h"
#include "cli/firmware_looks.h"
#include "cli/json_events.h"
#include "download/refused_download.h"
#include "engine/engine.h"
#include "ports/usb_inventory_linux.h"
#include "unit/cause_texts.h"
#include "unit/download_history.h"
#include "unit/last_download.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonObject>
#include <QUuid>

#include <algorithm>

namespace posflash {

std::variant<std::optional<FleetChoices>, int> FleetChoicesOf(const Cli& cli,
                                                              const CliArguments& args) {
    const bool inboot = args.isSet("inboot") && args.isSet("net");
    if (!inboot && !args.isSet("skip-current") && !args.isSet("window") &&
        !args.isSet("timezone") && !args.isSet("verify-back") && !args.isSet("dry-run"))
        return std::optional<FleetChoices>{};
    if (!args.isSet("net"))
        return cli.usage(
            "--skip-current, --window, --verify-back and --dry-run go with --net (--inboot with "
            "--net or --watch)");
    if (args.isSet("font"))
        return cli.usage("a rollout updates a printer's firmware: it takes no --font");
    FleetChoices choices;
    choices.skipCurrent = args.isSet("skip-current");
    choices.inboot = inboot;
    choices.dryRun = args.isSet("dry-run");
    if (args.isSet("timezone") && !args.isSet("window"))
        return cli.usage("--timezone is the zone of --window: give --window with it");
    if (args.isSet("window")) {
        choices.window = MaintenanceWindow::parse(args.value("window"));
        if (!choices.window)
            return cli.usage(QStringLiteral("--window is HH:MM-HH:MM, two different times of day "
                                            "(22:00-05:00 crosses midnight), not %1")
                                 .arg(args.value("window")));
    }
    const auto zone = StoreTimeZone(args.value("timezone"));
    if (!zone)
        return cli.usage(
            QStringLiteral("--timezone %1 is no time zone this system knows (an IANA name, as "
                           "Europe/Berlin)")
                .arg(args.value("timezone")));
    choices.zone = *zone;
    if (args.isSet("verify-back")) {
        bool ok = false;
        const int seconds = args.value("verify-back").toInt(&ok);
        if (!ok || seconds < 1 || seconds > 3600)
            return cli.usage("--verify-back is a number of seconds from 1 to 3600");
        choices.verifyBackMs = seconds * 1000;
    }
    return std::optional<FleetChoices>(choices);
}

// Forwards the run's events to the view, notes each printer's end and starts the look at a
// printer whose download completed; the run's end is the fleet's to say.
class FleetDownload::Sink : public MultiEventSink {
public:
    Sink(FleetDownload& fleet, DownloadView& view) : fleet_(fleet), view_(view) {}

    void onEvent(const DownloadEvent& e) override {
        view_.onEvent(e);
        if (e.kind == DownloadEvent::Kind::UnitFinished && e.target >= 0)
            fleet_.endRun(static_cast<std::size_t>(e.target), *e.result);
    }
    void finished(int) override {}
    void targetAdded(const MultiTarget& target) override { view_.targetAdded(target); }

private:
    FleetDownload& fleet_;
    DownloadView& view_;
};

FleetDownload::FleetDownload(const Cli& cli, FleetChoices choices, const CauseTexts& texts,
                             bool json, std::vector<MultiTarget> targets, SharedImage image,
                             UnitStamp stamp, int linkTimeoutMs)
    : cli_(cli), choices_(std::move(choices)), texts_(texts), json_(json),
      targets_(std::move(targets)), image_(std::move(image)), stamp_(std::move(stamp)),
      linkTimeoutMs_(linkTimeoutMs), ends_(targets_.size()) {}

FleetDownload::~FleetDownload() = default;

std::vector<MultiTarget> FleetDownload::before(ComPortMap& comPorts) {
    // Checked once, at the start: a run that began inside the window finishes.
    if (choices_.window &&
        !choices_.window->contains(QDateTime::currentDateTimeUtc(), choices_.zone)) {
        for (End& end : ends_)
            end.verdict = FleetVerdict{FleetOutcome::Pending, Cause::OutsideWindow};
        return {};
    }
    std::vector<std::size_t> open;
    std::optional<LastDownloads> last;
    if (choices_.skipCurrent) {
        HistoryStore history;
        auto read = LastDownloads::read(history);
        if (!read)
            cli_.err.write(QStringLiteral("posflash-cli: the history could not be read, so no "
                                          "printer counts as current: %1\n")
                               .arg(read.error().text));
        else
            last = std::move(*read);
    }
    const QString kind =
        image_->kind == ImageKind::Font ? QStringLiteral("font") : QStringLiteral("program");
    for (std::size_t i = 0; i < targets_.size(); ++i) {
        if (last && IsCurrent(last->of(targets_[i].printer), image_->sha256, kind))
            ends_[i].verdict = FleetVerdict{FleetOutcome::Current, Cause::None};
        else
            open.push_back(i);
    }
    if (choices_.dryRun) {
        const std::vector<std::size_t> answers = answering(open);
        for (const std::size_t i : open)
            ends_[i].verdict = std::find(answers.begin(), answers.end(), i) != answers.end()
                                   ? FleetVerdict{FleetOutcome::WouldUpdate, Cause::None}
                                   : FleetVerdict{FleetOutcome::Pending, Cause::NotAnswering};
        return {};
    }
    if (choices_.inboot && !cli_.stopSignals.arrived())
        sendBootCommands(comPorts, open);
    std::vector<MultiTarget> run;
    for (const std::size_t i : open) {
        ran_.push_back(i);
        run.push_back(targets_[i]);
    }
    return run;
}

// Every printer's firmware looked at, at once; those that answered.
std::vector<std::size_t> FleetDownload::answering(const std::vector<std::size_t>& which) {
    QStringList ips;
    for (const std::size_t i : which)
        ips << targets_[i].printer.ip;
    const std::vector<bool> answers = FirmwaresAnswering(ips);
    std::vector<std::size_t> answered;
    for (std::size_t k = 0; k < which.size(); ++k)
        if (answers[k])
            answered.push_back(which[k]);
    return answered;
}

// The boot-loader command to every printer at once, through its firmware's TCP port. One that
// does not take it may already be in its boot loader: its link decides.
void FleetDownload::sendBootCommands(ComPortMap& comPorts, const std::vector<std::size_t>& which) {
    const UdevUsbInventory host;
    std::vector<std::unique_ptr<Engine>> engines;
    QEventLoop loop;
    int left = static_cast<int>(which.size());
    EventFunction events([&](const DownloadEvent& e) {
        if (e.kind == DownloadEvent::Kind::Finished && --left == 0)
            loop.quit();
    });
    for (const std::size_t i : which) {
        engines.push_back(std::make_unique<Engine>(comPorts, host));
        engines.back()->sendBootCommand({targets_[i].printer, Route::Network}, events);
    }
    if (left > 0)
        loop.exec();
}

MultiEventSink& FleetDownload::sinkFor(DownloadView& view) {
    sink_ = std::make_unique<Sink>(*this, view);
    return *sink_;
}

void FleetDownload::endRun(std::size_t ran, const DownloadResult& result) {
    if (ran >= ran_.size())
        return;
    End& end = ends_[ran_[ran]];
    end.result = result;
    if (result.outcome != Outcome::Completed || !choices_.verifyBackMs)
        return;
    // From the final frame on, as the printer restarts into its firmware.
    end.back =
        std::make_unique<FirmwareProbe>(targets_[ran_[ran]].printer.ip, *choices_.verifyBackMs);
    end.back->start();
}

void FleetDownload::holdRows(DownloadHistory& history) {
    history.held() = [this](const DownloadResult& result, const UnitStamp& unit) {
        const bool awaitsBack = result.outcome == Outcome::Completed && choices_.verifyBackMs;
        const bool pending =
            FleetVerdictOf(result.outcome, result.cause, ReachedPrinter(result), std::nullopt)
                .outcome == FleetOutcome::Pending;
        if (!awaitsBack && !pending)
            return false;
        for (const std::size_t i : ran_)
            if (targets_[i].printer.ip == result.printer.ip) {
                ends_[i].held = std::make_pair(result, unit);
                return true;
            }
        return false;
    };
}

// A pending printer's row: refused with its cause, no unit, so that the line's records know
// it was not reached.
void FleetDownload::recordRefused(DownloadHistory& history, std::size_t i, Cause cause) {
    DownloadJob job;
    job.printer = targets_[i].printer;
    job.carry(image_);
    DownloadResult result = RefusedDownload(job, cause);
    result.bytes = static_cast<qint64>(image_->bytes.size());
    result.sha256 = image_->sha256;
    UnitStamp stamp = stamp_;
    stamp.label = targets_[i].unitLabel;
    history.record(result, stamp);
}

int FleetDownload::finish(DownloadView& view, DownloadHistory& history) {
    history.held() = nullptr;
    // The printers still to come back, each until its own time is up.
    QEventLoop loop;
    const auto looking = [this] {
        return std::any_of(ends_.begin(), ends_.end(),
                           [](const End& end) { return end.back && !end.back->isDone(); });
    };
    for (End& end : ends_)
        if (end.back && !end.back->isDone())
            QObject::connect(end.back.get(), &FirmwareProbe::finished, &loop, [&] {
                if (!looking())
                    loop.quit();
            });
    if (looking())
        loop.exec();
    std::vector<FleetOutcome> outcomes;
    for (std::size_t i = 0; i < ends_.size(); ++i) {
        End& end = ends_[i];
        if (!end.verdict && end.result) {
            const std::optional<bool> back =
                end.back ? std::optional<bool>(end.back->answered()) : std::nullopt;
            end.verdict = FleetVerdictOf(end.result->outcome, end.result->cause,
                                         ReachedPrinter(*end.result), back);
        }
        if (!end.verdict) // never begun: a stop came first
            end.verdict = FleetVerdict{FleetOutcome::Failed, Cause::Cancelled};
        outcomes.push_back(end.verdict->outcome);
        if (choices_.dryRun)
            continue;
        if (end.held) {
            auto [result, unit] = *end.held;
            if (end.verdict->outcome == FleetOutcome::Pending) {
                result.outcome = Outcome::Refused;
                result.cause = end.verdict->cause;
                unit.unit.clear();
                unit.attempt = 0;
            } else if (end.verdict->cause == Cause::NotBack) {
                result.outcome = Outcome::Failed;
                result.cause = Cause::NotBack;
            }
            history.record(result, unit);
        } else if (end.verdict->outcome == FleetOutcome::Pending) {
            recordRefused(history, i, end.verdict->cause);
        }
    }
    const int code = FleetExitStatus(outcomes);
    say(view, outcomes, code);
    return code;
}

QString FleetDownload::reasonOf(std::size_t i) const {
    const End& end = ends_[i];
    switch (end.verdict->outcome) {
    case FleetOutcome::Current:
        return texts_.own(QT_TRANSLATE_NOOP("CliTexts", "already runs this image: nothing sent"));
    case FleetOutcome::Updated:
        return texts_.own(QT_TRANSLATE_NOOP("CliTexts", "updated"));
    case FleetOutcome::WouldUpdate:
        return texts_.own(QT_TRANSLATE_NOOP("CliTexts", "answers, and would be updated"));
    case FleetOutcome::Failed:
    case FleetOutcome::Pending:
        break;
    }
    const DownloadResult* r = end.result ? &*end.result : nullptr;
    if (r && end.verdict->cause == r->cause)
        return texts_.cause(r->cause, r->step, r->framesAccepted + 1, r->attempts, linkTimeoutMs_);
    return texts_.cause(end.verdict->cause, 0, 0, 0, linkTimeoutMs_);
}

void FleetDownload::say(DownloadView& view, const std::vector<FleetOutcome>& outcomes, int code) {
    int counts[5] = {};
    for (const FleetOutcome o : outcomes)
        ++counts[static_cast<int>(o)];
    QString words;
    for (std::size_t i = 0; i < targets_.size(); ++i) {
        const Printer& p = targets_[i].printer;
        const FleetVerdict& v = *ends_[i].verdict;
        if (json_) {
            const QJsonObject o{
                {"event", "printer"},
                {"target", targets_[i].label},
                {"ip", p.ip},
                {"mac", p.mac},
                {"usb_serial", p.usbSerial.isEmpty() ? QJsonValue() : QJsonValue(p.usbSerial)},
                {"fleet", FleetOutcomeName(v.outcome)},
                {"cause", v.cause == Cause::None ? QJsonValue() : QJsonValue(CauseName(v.cause))},
                {"reason", reasonOf(i)}};
            cli_.out.write(JsonLine(o));
        } else {
            words += QStringLiteral("%1: %2").arg(targets_[i].label, reasonOf(i));
            if (v.outcome == FleetOutcome::Failed || v.outcome == FleetOutcome::Pending)
                words += QStringLiteral(" (%1, %2)")
                             .arg(FleetOutcomeName(v.outcome), CauseName(v.cause));
            words += QLatin1Char('\n');
        }
    }
    words += texts_
                 .own(QT_TRANSLATE_NOOP("CliTexts", "%1 updated, %2 current, %3 failed, %4 "
                                                    "pending, %5 would be updated"))
                 .arg(counts[static_cast<int>(FleetOutcome::Updated)])
                 .arg(counts[static_cast<int>(FleetOutcome::Current)])
                 .arg(counts[static_cast<int>(FleetOutcome::Failed)])
                 .arg(counts[static_cast<int>(FleetOutcome::Pending)])
                 .arg(counts[static_cast<int>(FleetOutcome::WouldUpdate)]) +
             QLatin1Char('\n');
    const QJsonObject extra{{"targets", static_cast<int>(targets_.size())},
                            {"current", counts[static_cast<int>(FleetOutcome::Current)]},
                            {"updated", counts[static_cast<int>(FleetOutcome::Updated)]},
                            {"pending", counts[static_cast<int>(FleetOutcome::Pending)]},
                            {"would_update", counts[static_cast<int>(FleetOutcome::WouldUpdate)]},
                            {"failed", counts[static_cast<int>(FleetOutcome::Failed)]}};
    view.setFleetSummary(extra, words);
    view.finished(code);
}

} // namespace posflash
