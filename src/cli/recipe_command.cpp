#include "cli/recipe_command.h"

#include "base/faces.h"
#include "base/retry_limit.h"
#include "cli/exit_codes.h"
#include "cli/records_command.h"
#include "download/loaded_image.h"
#include "recipe/minisign.h"
#include "recipe/recipe.h"
#include "recipe/recipe_check.h"
#include "recipe/recipe_file.h"
#include "recipe/recipe_marks.h"
#include "recipe/recipe_texts.h"
#include "recipe/trusted_keys.h"
#include "records/recipe_records.h"
#include "records/records_address.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>
#include <variant>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace posflash {

namespace {

constexpr int kMaxPasswordBytes = 1024;

Status WriteWhole(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return Error{static_cast<int>(RecipeError::FileAccess),
                     QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString()),
                     file.errorString(), ErrorDomain::Recipe};
    return {};
}

// Asked on the terminal itself, never echoed: standard input may carry the recipe's pipeline.
std::optional<QByteArray> AskPassword() {
    const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (tty < 0)
        return std::nullopt;
    static constexpr char prompt[] = "Password of the secret key: ";
    (void)!::write(tty, prompt, sizeof prompt - 1);
    termios saved{};
    const bool quiet = tcgetattr(tty, &saved) == 0;
    if (quiet) {
        termios silent = saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(tty, TCSAFLUSH, &silent);
    }
    QByteArray password;
    char c = 0;
    while (password.size() < kMaxPasswordBytes && ::read(tty, &c, 1) == 1 && c != '\n')
        password.append(c);
    if (quiet)
        tcsetattr(tty, TCSAFLUSH, &saved);
    (void)!::write(tty, "\n", 1);
    ::close(tty);
    if (password.endsWith('\r'))
        password.chop(1);
    return password;
}

class RecipeRun {
public:
    RecipeRun(QTextStream& out, QTextStream& err, const RecipeCommandEnv& env)
        : out_(out), err_(err), env_(env) {
        faces_.setUseEnglish(env.english);
    }

    int make(const CliArguments& args);
    int show(const QString& path);
    int sign(const QString& keyPath, const QString& path);
    int fetch(const QString& name, const QString& records, const QString& outPath);

    int usage(const QString& why) {
        err_ << "posflash-cli recipe: " << why << '\n';
        return kExitUsage;
    }
    int refused(const Error& error) {
        err_ << "posflash-cli recipe: " << error.text << '\n';
        return kExitUsage;
    }

private:
    QString t(const char* english) const { return faces_.text("RecipeCommand", english); }
    void print(const Recipe& recipe);
    // Which folder's key vouched, and the station's mark of the name.
    void printTrust(const ApprovedRecipe& approved);
    // The sequence of a new approval of name: --sequence, else one more than the newest
    // published in the records; the exit code of a refusal already told.
    std::variant<std::int64_t, int> sequenceOf(const CliArguments& args, const QString& name);
    struct RecipeFile {
        QByteArray bytes;
        Recipe recipe;
    };
    // The file at path, which must be there, or the exit code of a refusal already told.
    std::variant<QByteArray, int> readNeeded(const QString& path, qint64 limit, const char* what);
    // The recipe at path as it reads, or the exit code of a refusal already told.
    std::variant<RecipeFile, int> readRecipe(const QString& path);

    QTextStream& out_;
    QTextStream& err_;
    const RecipeCommandEnv& env_;
    Faces faces_;
};

int RecipeRun::make(const CliArguments& args) {
    for (const char* needed : {"image", "name", "out"})
        if (!args.isSet(QLatin1String(needed)))
            return usage(QStringLiteral("make needs --%1").arg(QLatin1String(needed)));
    Recipe recipe;
    recipe.name = args.value(QStringLiteral("name"));
    recipe.imageKind = ImageKindOf(args.isSet(QStringLiteral("font")));
    const QString mode = args.value(QStringLiteral("mode"));
    if (mode == QLatin1String("engineering"))
        recipe.mode = RecipeMode::Engineering;
    else if (!mode.isEmpty() && mode != QLatin1String("production"))
        return usage(QStringLiteral("--mode is production or engineering"));
    if (args.isSet(QStringLiteral("expires"))) {
        recipe.expires = ParseRecipeTime(args.value(QStringLiteral("expires")));
        if (!recipe.expires)
            return usage(QStringLiteral("--expires is an ISO 8601 time with its offset, such as "
                                        "2027-03-01T06:00:00+08:00"));
        if (*recipe.expires <= env_.now)
            return usage(QStringLiteral("--expires %1 has already passed")
                             .arg(args.value(QStringLiteral("expires"))));
    }
    recipe.targets = args.values(QStringLiteral("port"));
    recipe.labelPattern = args.value(QStringLiteral("label-pattern"));
    if (args.isSet(QStringLiteral("retries"))) {
        bool number = false;
        recipe.retries = args.value(QStringLiteral("retries")).toInt(&number);
        if (!number || *recipe.retries < 0 || *recipe.retries > kMostRetries)
            return usage(QStringLiteral("--retries is a number from 0 to %1").arg(kMostRetries));
    }
    recipe.labelRequired = args.isSet(QStringLiteral("label-required"));
    const std::variant<std::int64_t, int> sequence = sequenceOf(args, recipe.name);
    if (const int* exit = std::get_if<int>(&sequence))
        return *exit;
    recipe.sequence = std::get<std::int64_t>(sequence);

    const QString imagePath = args.value(QStringLiteral("image"));
    const Result<SharedImage> image = LoadImage(imagePath, recipe.imageKind);
    if (!image.ok())
        return usage(QStringLiteral("%1 cannot be read as an image (missing, not a regular file, "
                                    "or too large for a download)")
                         .arg(imagePath));
    recipe.imageSize = static_cast<std::int64_t>((*image)->bytes.size());
    recipe.imageSha256 = (*image)->sha256;

    // Through the reader the stations use, so that what is written is what they accept.
    const QByteArray file = WriteRecipe(recipe);
    if (Result<Recipe> back = ParseRecipe(file); !back)
        return refused(back.error());
    const QString outPath = args.value(QStringLiteral("out"));
    if (Status written = WriteWhole(outPath, file); !written) {
        err_ << "posflash-cli recipe: " << written.error().text << '\n';
        return kExitFailed;
    }
    print(recipe);
    out_ << t(QT_TRANSLATE_NOOP("RecipeCommand", "written to %1; sign it with: minisign -S -s "
                                                 "KEY -m %1 (or posflash-cli recipe sign --key "
                                                 "KEY %1)"))
                .arg(outPath)
         << '\n';
    if (QFileInfo::exists(outPath + QStringLiteral(".minisig")))
        err_ << t(QT_TRANSLATE_NOOP("RecipeCommand",
                                    "note: %1.minisig signs the former recipe; sign it again"))
                    .arg(outPath)
             << '\n';
    return kExitCompleted;
}

std::variant<std::int64_t, int> RecipeRun::sequenceOf(const CliArguments& args,
                                                      const QString& name) {
    if (args.isSet(QStringLiteral("sequence"))) {
        bool number = false;
        const qlonglong given = args.value(QStringLiteral("sequence")).toLongLong(&number);
        if (!number || given < 0 || given > (1LL << 53))
            return usage(QStringLiteral("--sequence is a whole number from 0 up"));
        return std::int64_t{given};
    }
    const QString records = RecordsAddressText(args);
    if (records.isEmpty())
        return usage(QStringLiteral("make needs --sequence N, one more than the newest approval "
                                    "of %1 (or --records URI to take one more than the newest "
                                    "published)")
                         .arg(name));
    const Result<RecordsAddress> address = ParseRecordsAddress(records);
    if (!address)
        return refused(address.error());
    PgLink link(*address);
    Result<std::optional<std::int64_t>> newest = std::optional<std::int64_t>{};
    if (Status opened = link.open(); !opened)
        newest = opened.error();
    else
        newest = NewestPublishedSequence(link, name);
    if (!newest) {
        err_ << "posflash-cli recipe: "
             << QStringLiteral("the newest sequence of %1 cannot be read from %2 (%3); give "
                               "--sequence N")
                    .arg(name, address->shown(), newest.error().text)
             << '\n';
        return kExitFailed;
    }
    return newest->value_or(0) + 1;
}

void RecipeRun::printTrust(const ApprovedRecipe& approved) {
    const QString folder = QFileInfo(approved.keyFile).path();
    out_ << (approved.byAdministrator
                 ? t(QT_TRANSLATE_NOOP("RecipeCommand",
                                       "vouched for by: %1 (the administrator's keys)"))
                 : t(QT_TRANSLATE_NOOP("RecipeCommand",
                                       "vouched for by: %1 (the user's own keys: engineering "
                                       "recipes only)")))
                .arg(folder)
         << '\n';
    const RecipeMarks marks(env_.source.marksFolder, env_.source.markHelperPath);
    const Result<std::int64_t> mark = marks.read(approved.recipe.name);
    out_ << t(QT_TRANSLATE_NOOP("RecipeCommand", "station's mark: %1 (kept in %2)"))
                .arg(mark ? QString::number(*mark) : mark.error().text, marks.folder())
         << '\n';
}

void RecipeRun::print(const Recipe& recipe) {
    const auto line = [this](const QString& key, const QString& value) {
        out_ << key.leftJustified(16) << value << '\n';
    };
    line(QStringLiteral("name"), recipe.name);
    line(QStringLiteral("sequence"), QString::number(recipe.sequence));
    line(QStringLiteral("image"), QStringLiteral("%1, %2 bytes, SHA-256 %3")
                                      .arg(QLatin1String(ImageKindName(recipe.imageKind)))
                                      .arg(recipe.imageSize)
                                      .arg(QString::fromLatin1(recipe.imageSha256.toHex())));
    line(QStringLiteral("mode"), QLatin1String(RecipeModeName(recipe.mode)));
    line(QStringLiteral("expires"),
         recipe.expires ? recipe.expires->toString(Qt::ISODate) : QStringLiteral("never"));
    line(QStringLiteral("targets"), recipe.targets.isEmpty()
                                        ? QStringLiteral("any")
                                        : recipe.targets.join(QStringLiteral(", ")));
    if (!recipe.labelPattern.isEmpty())
        line(QStringLiteral("label pattern"), recipe.labelPattern);
    line(QStringLiteral("label"),
         recipe.labelRequired ? QStringLiteral("required") : QStringLiteral("optional"));
    if (recipe.retries)
        line(QStringLiteral("retries"), QString::number(*recipe.retries));
}

std::variant<QByteArray, int> RecipeRun::readNeeded(const QString& path, qint64 limit,
                                                    const char* what) {
    Result<std::optional<QByteArray>> bytes = ReadSmallFile(path, limit);
    if (!bytes)
        return refused(bytes.error());
    if (!*bytes)
        return usage(QStringLiteral("there is no %1 %2").arg(QLatin1String(what), path));
    return **bytes;
}

std::variant<RecipeRun::RecipeFile, int> RecipeRun::readRecipe(const QString& path) {
    std::variant<QByteArray, int> bytes = readNeeded(path, kMaxRecipeBytes, "recipe");
    if (const int* exit = std::get_if<int>(&bytes))
        return *exit;
    Result<Recipe> recipe = ParseRecipe(std::get<QByteArray>(bytes));
    if (!recipe)
        return refused(WithContext(recipe.error(), path));
    return RecipeFile{std::get<QByteArray>(std::move(bytes)), *recipe};
}

int RecipeRun::show(const QString& path) {
    const std::variant<RecipeFile, int> read = readRecipe(path);
    if (const int* exit = std::get_if<int>(&read))
        return *exit;
    const auto& [bytes, recipe] = std::get<RecipeFile>(read);
    Result<std::optional<QByteArray>> signature =
        ReadSmallFile(path + QStringLiteral(".minisig"), kMaxSignatureBytes);
    if (!signature)
        return refused(signature.error());
    const TrustedKeys trusted = LoadTrustedKeys(env_.trustedKeyFolders);
    for (const QString& fault : trusted.unreadable)
        err_ << "posflash-cli recipe: "
             << t(QT_TRANSLATE_NOOP("RecipeCommand", "ignored: %1")).arg(fault) << '\n';

    print(recipe);
    const RecipeVerdict verdict = VerifyRecipe(bytes, *signature, trusted.keys, env_.now);
    if (verdict.ok()) {
        out_ << t(QT_TRANSLATE_NOOP("RecipeCommand", "verified: signed by key %1 (%2)"))
                    .arg(verdict.approved->signerKeyId, verdict.approved->trustedComment)
             << '\n';
        printTrust(*verdict.approved);
        return kExitCompleted;
    }
    const RecipeTexts texts(faces_);
    out_ << t(QT_TRANSLATE_NOOP("RecipeCommand", "refused: %1 — %2"))
                .arg(RecipeCauseName(verdict.cause), texts.cause(verdict))
         << '\n'
         << t(QT_TRANSLATE_NOOP("RecipeCommand", "what to do: %1")).arg(texts.remedy(verdict.cause))
         << '\n';
    return kExitUsage;
}

int RecipeRun::fetch(const QString& name, const QString& records, const QString& outPath) {
    if (records.isEmpty())
        return usage(QStringLiteral("fetch needs --records URI or the environment variable "
                                    "POSFLASH_RECORDS"));
    if (const Result<RecordsAddress> address = ParseRecordsAddress(records); !address)
        return refused(address.error());
    const StationRecipe found = FetchStationRecipe(records, name, env_.source);
    for (const QString& fault : found.keyFaults)
        err_ << "posflash-cli recipe: "
             << t(QT_TRANSLATE_NOOP("RecipeCommand", "ignored: %1")).arg(fault) << '\n';
    switch (found.found) {
    case StationRecipe::Found::NoAddress:
        return usage(QStringLiteral("fetch needs --records URI"));
    case StationRecipe::Found::NonePublished:
        err_ << "posflash-cli recipe: "
             << t(QT_TRANSLATE_NOOP("RecipeCommand",
                                    "no recipe %1 is published in the line's records"))
                    .arg(name)
             << '\n';
        return kExitFailed;
    case StationRecipe::Found::NoCopy:
        err_ << "posflash-cli recipe: "
             << t(QT_TRANSLATE_NOOP("RecipeCommand",
                                    "the line's records cannot be reached (%1) and this "
                                    "station has no recipe %2 verified before"))
                    .arg(found.unreachable, name)
             << '\n';
        return kExitFailed;
    case StationRecipe::Found::Refused: {
        const RecipeTexts texts(faces_);
        out_ << t(QT_TRANSLATE_NOOP("RecipeCommand", "refused: %1 — %2"))
                    .arg(RecipeCauseName(found.verdict.cause), texts.cause(found.verdict))
             << '\n'
             << t(QT_TRANSLATE_NOOP("RecipeCommand", "what to do: %1"))
                    .arg(texts.remedy(found.verdict.cause))
             << '\n'
             << t(QT_TRANSLATE_NOOP("RecipeCommand", "station's mark: %1 (kept in %2)"))
                    .arg(found.mark)
                    .arg(found.marksFolder)
             << '\n';
        return kExitFailed;
    }
    case StationRecipe::Found::Verified:
        break;
    }
    const ApprovedRecipe& approved = *found.verdict.approved;
    print(approved.recipe);
    out_ << t(QT_TRANSLATE_NOOP("RecipeCommand", "verified: signed by key %1 (%2)"))
                .arg(approved.signerKeyId, approved.trustedComment)
         << '\n';
    if (found.fromCopy)
        out_ << t(QT_TRANSLATE_NOOP("RecipeCommand",
                                    "the line's records cannot be reached (%1): the copy "
                                    "verified here before is used"))
                    .arg(found.unreachable)
             << '\n';
    printTrust(approved);
    if (!found.markTrouble.isEmpty())
        err_ << "posflash-cli recipe: "
             << t(QT_TRANSLATE_NOOP("RecipeCommand", "warning: %1")).arg(found.markTrouble) << '\n';
    if (outPath.isEmpty())
        return kExitCompleted;
    for (const auto& [path, bytes] :
         {std::pair{outPath + QStringLiteral(".minisig"), found.signature.value_or(QByteArray())},
          std::pair{outPath, found.recipe}})
        if (Status written = WriteWhole(path, bytes); !written) {
            err_ << "posflash-cli recipe: " << written.error().text << '\n';
            return kExitFailed;
        }
    return kExitCompleted;
}

int RecipeRun::sign(const QString& keyPath, const QString& path) {
    // Only a recipe a station would read is worth an approval.
    const std::variant<RecipeFile, int> read = readRecipe(path);
    if (const int* exit = std::get_if<int>(&read))
        return *exit;
    const QByteArray& bytes = std::get<RecipeFile>(read).bytes;
    const std::variant<QByteArray, int> keyRead =
        readNeeded(keyPath, kMaxSignatureBytes, "secret key");
    if (const int* exit = std::get_if<int>(&keyRead))
        return *exit;
    const QByteArray& keyFile = std::get<QByteArray>(keyRead);
    Result<bool> encrypted = MinisignSecretKeyIsEncrypted(keyFile);
    if (!encrypted)
        return refused(WithContext(encrypted.error(), keyPath));
    QByteArray password;
    if (*encrypted) {
        const std::optional<QByteArray> given = env_.password ? env_.password() : std::nullopt;
        if (!given)
            return usage(QStringLiteral("the secret key needs its password: set "
                                        "POSFLASH_KEY_PASSWORD or run on a terminal"));
        password = *given;
    }
    Result<MinisignSecretKey> key = OpenMinisignSecretKey(keyFile, password);
    password.fill('\0');
    if (!key)
        return refused(WithContext(key.error(), keyPath));
    // minisign's own form, so that minisign -V shows what it would have written.
    const QString comment = QStringLiteral("timestamp:%1\tfile:%2\thashed")
                                .arg(env_.now.toSecsSinceEpoch())
                                .arg(QFileInfo(path).fileName());
    const QByteArray signature = SignMinisign(
        bytes, *key, comment, QStringLiteral("signature from posflash-cli recipe sign"));
    key->key.fill('\0');
    const QString sigPath = path + QStringLiteral(".minisig");
    if (Status written = WriteWhole(sigPath, signature); !written) {
        err_ << "posflash-cli recipe: " << written.error().text << '\n';
        return kExitFailed;
    }
    out_ << t(QT_TRANSLATE_NOOP("RecipeCommand", "signed with key %1: %2"))
                .arg(MinisignKeyIdText(key->keyId), sigPath)
         << '\n';
    return kExitCompleted;
}

} // namespace

RecipeCommandEnv RecipeCommandEnv::Station(bool english) {
    RecipeCommandEnv env;
    env.trustedKeyFolders = TrustedKeyFolders::station();
    env.source = RecipeSource::station();
    env.now = QDateTime::currentDateTimeUtc();
    env.english = english;
    env.password = []() -> std::optional<QByteArray> {
        if (const QByteArray given = qgetenv("POSFLASH_KEY_PASSWORD"); !given.isNull())
            return given;
        return AskPassword();
    };
    return env;
}

int RunRecipeCommand(const CliArguments& args, QTextStream& out, QTextStream& err,
                     const RecipeCommandEnv& env) {
    RecipeRun run(out, err, env);
    const QStringList words = args.positionalArguments().mid(1);
    const QString verb = words.value(0);
    // The reader takes every command's options; each verb allows its own and --lang.
    const auto only = [&](std::initializer_list<const char*> allowed) -> QString {
        for (const CliOption& option : CliOptions()) {
            const QLatin1String name(option.name);
            if (args.isSet(name) && name != QLatin1String("lang") &&
                std::none_of(allowed.begin(), allowed.end(),
                             [&](const char* a) { return name == QLatin1String(a); }))
                return QStringLiteral("%1 takes no --%2").arg(verb, name);
        }
        return {};
    };
    if (verb == QLatin1String("make")) {
        if (words.size() != 1)
            return run.usage(QStringLiteral("make takes no RECIPE argument: use --out"));
        if (const QString wrong =
                only({"image", "name", "font", "mode", "expires", "port", "label-pattern",
                      "retries", "label-required", "out", "sequence", "records"});
            !wrong.isEmpty())
            return run.usage(wrong);
        return run.make(args);
    }
    if (verb == QLatin1String("show")) {
        if (const QString wrong = only({}); !wrong.isEmpty())
            return run.usage(wrong);
        if (words.size() != 2)
            return run.usage(QStringLiteral("show needs exactly one RECIPE"));
        return run.show(words[1]);
    }
    if (verb == QLatin1String("sign")) {
        if (const QString wrong = only({"key"}); !wrong.isEmpty())
            return run.usage(wrong);
        if (words.size() != 2 || !args.isSet(QStringLiteral("key")))
            return run.usage(QStringLiteral("sign needs --key SECRETKEY and exactly one RECIPE"));
        return run.sign(args.value(QStringLiteral("key")), words[1]);
    }
    if (verb == QLatin1String("fetch")) {
        if (const QString wrong = only({"records", "out"}); !wrong.isEmpty())
            return run.usage(wrong);
        if (words.size() != 2)
            return run.usage(QStringLiteral("fetch needs exactly one NAME"));
        return run.fetch(words[1], RecordsAddressText(args), args.value(QStringLiteral("out")));
    }
    return run.usage(verb.isEmpty() ? QStringLiteral("make, show, sign or fetch?")
                                    : QStringLiteral("no such recipe command: %1").arg(verb));
}

} // namespace posflash
