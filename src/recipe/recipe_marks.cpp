#include "recipe/recipe_marks.h"

#include "base/helper_program.h"
#include "mark-helper/mark_request.h"
#include "recipe/recipe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <cerrno>
#include <vector>

#include <fcntl.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace posflash {

namespace {

constexpr const char* kSystemFolder = "/var/lib/posflash/recipe-marks";
constexpr const char* kHelperName = "posflash-mark-helper";
// A mark is one number: anything longer is no mark of ours.
constexpr qint64 kMaxMarkBytes = 64;
// The helper writes one small file and exits; one silent this long is stopped.
constexpr int kHelperWaitMs = 5000;

Error markFault(const QString& text, const QString& system = {}) {
    return {static_cast<int>(RecipeError::FileAccess), text, system, ErrorDomain::Recipe};
}

std::optional<std::int64_t> markIn(const QByteArray& text) {
    static const QRegularExpression number(QStringLiteral("^[0-9]{1,18}\n?$"));
    if (!number.match(QString::fromLatin1(text)).hasMatch())
        return std::nullopt;
    return text.trimmed().toLongLong();
}

QString stateFolder() {
    const QString xdg = qEnvironmentVariable("XDG_STATE_HOME");
    // The XDG rules: a relative path is ignored.
    const QString base = QDir::isAbsolutePath(xdg) ? xdg : QDir::homePath() + "/.local/state";
    return base + QStringLiteral("/posflash/recipe-marks");
}

// Runs the helper with no environment and collects its standard output; the exit status or -1.
int runHelper(const QString& program, const QStringList& args, QByteArray& output) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    std::vector<QByteArray> words{QFile::encodeName(program)};
    for (const QString& arg : args)
        words.push_back(arg.toUtf8());
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    char* const noEnvironment[] = {nullptr};
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), noEnvironment);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0) {
        ::close(pipeFds[0]);
        errno = spawned;
        return -1;
    }
    char buffer[256];
    bool silent = false;
    while (output.size() < 4096) {
        pollfd readable{pipeFds[0], POLLIN, 0};
        const int ready = ::poll(&readable, 1, kHelperWaitMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            silent = true;
            break;
        }
        const ssize_t got = ::read(pipeFds[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        output.append(buffer, got);
    }
    ::close(pipeFds[0]);
    if (silent)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return silent || !WIFEXITED(status) ? -1 : WEXITSTATUS(status);
}

} // namespace

std::optional<std::int64_t> KeptMarkFromAnswer(const QByteArray& answer) {
    if (!answer.startsWith("kept "))
        return std::nullopt;
    return markIn(answer.mid(5));
}

RecipeMarks::RecipeMarks(QString folder, QString helperPath)
    : folder_(std::move(folder)), helperPath_(std::move(helperPath)) {}

RecipeMarks RecipeMarks::station() {
    const QString system = QString::fromLatin1(kSystemFolder);
    return RecipeMarks(
        QFileInfo(system).isDir() ? system : stateFolder(),
        HelperProgramPath(POSFLASH_MARK_HELPER_FROM_BIN, kHelperName, "mark-helper"));
}

QString RecipeMarks::pathOf(const QString& name) const {
    // The helper's own layout: a long name's hex is cut into folders, as a file name holds
    // 255 bytes.
    const QByteArray hex = name.toUtf8().toHex();
    QString path = folder_;
    for (const std::string& part :
         mark_helper::MarkPath(std::string_view(hex.constData(), hex.size())))
        path += QLatin1Char('/') + QString::fromStdString(part);
    return path;
}

Result<std::int64_t> RecipeMarks::read(const QString& name) const {
    const QString path = pathOf(name);
    QFile file(path);
    if (!file.exists())
        return std::int64_t{0};
    if (!file.open(QIODevice::ReadOnly))
        return markFault(QStringLiteral("the mark %1 cannot be read").arg(path),
                         file.errorString());
    const std::optional<std::int64_t> mark = markIn(file.read(kMaxMarkBytes));
    if (!mark)
        return markFault(QStringLiteral("the mark %1 holds no sequence").arg(path));
    return *mark;
}

Result<std::int64_t> RecipeMarks::raise(const QString& name, std::int64_t sequence) const {
    Result<std::int64_t> kept = read(name);
    if (kept && *kept >= sequence)
        return kept;
    QDir().mkpath(folder_);
    if (::access(QFile::encodeName(folder_).constData(), W_OK) != 0)
        return raiseThroughHelper(name, sequence);
    QDir().mkpath(QFileInfo(pathOf(name)).path());
    // A damaged mark is replaced only by what was verified now.
    QSaveFile file(pathOf(name));
    const QByteArray text = QByteArray::number(static_cast<qlonglong>(sequence)) + '\n';
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        return markFault(QStringLiteral("the mark %1 cannot be written").arg(pathOf(name)),
                         file.errorString());
    return sequence;
}

Result<std::int64_t> RecipeMarks::raiseThroughHelper(const QString& name,
                                                     std::int64_t sequence) const {
    QByteArray answer;
    const int status =
        runHelper(helperPath_,
                  {QStringLiteral("raise"), QString::fromLatin1(name.toUtf8().toHex()),
                   QString::number(sequence)},
                  answer);
    if (status < 0)
        return markFault(QStringLiteral("%1 could not be run or did not answer; the mark in %2 "
                                        "is not raised")
                             .arg(helperPath_, folder_));
    const QByteArray said = answer.trimmed();
    if (status == 0)
        if (const std::optional<std::int64_t> mark = KeptMarkFromAnswer(said))
            return *mark;
    return markFault(QStringLiteral("%1 refused to raise the mark in %2: %3")
                         .arg(helperPath_, folder_, QString::fromUtf8(said.left(200))));
}

} // namespace posflash
