#pragma once

#include "base/error.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <vector>

namespace posflash {

// One option posflash-cli reads. Help, the usage hints, the manual page and the completion
// name the same ones (a test holds them together).
struct CliOption {
    const char* name;
    const char* valueName = nullptr; // nullptr: a switch
    const char* defaultValue = nullptr;
    bool hidden = false; // for tests and tuning: in no help, hint or completion
};

// One line of a command's help: what the left column shows and what it does (its lines
// joined by '\n'; "{most retries}" stands for kMostRetries). option names the option (without
// dashes), or is empty for a word such as records' "init".
struct HelpRow {
    const char* option;
    const char* shown;
    const char* text;
};

// A group of help rows under its heading (none: a blank line alone sets them apart).
struct HelpSection {
    const char* heading;
    std::vector<HelpRow> rows;
};

// A command: its line in the general help, its synopsis, and its help around its rows.
struct CliCommand {
    const char* name;
    const char* summary;
    const char* synopsis;
    const char* about;
    std::vector<HelpSection> sections;
    const char* closing;
    // Its synopsis in the usage of every command; nullptr: the whole synopsis.
    const char* inUsage = nullptr;
    // The closing ends with the general help's exit status.
    bool generalExitStatus = false;
};

// The exit status of most commands, as the general help says it.
inline constexpr const char* kGeneralExitStatus =
    "\nexit status: 0 completed, 1 failed or cancelled, 2 refused or a usage error\n";

const std::vector<CliOption>& CliOptions();
const std::vector<CliCommand>& CliCommands();
const CliCommand* FindCliCommand(const QString& name);

// The options a usage error may suggest: every one a synopsis names.
QStringList HintedOptionNames();

struct CliRequest;

// The arguments as given: what each option was given, and the words that are no option.
class CliArguments {
public:
    bool isSet(const QString& name) const { return given_.contains(name); }
    // The last value given, else the option's default.
    QString value(const QString& name) const;
    QStringList values(const QString& name) const;
    const QStringList& positionalArguments() const { return positional_; }

private:
    friend Result<CliRequest> ReadCliArguments(const QStringList&, const QString&);
    QMap<QString, QStringList> given_;
    QMap<QString, QString> defaults_;
    QStringList positional_;
};

// What the command line asks: a command to run, help (helpTopic empty: the general help), or
// the version.
struct CliRequest {
    enum class Ask { Run, Help, Version };
    Ask ask = Ask::Run;
    QString helpTopic;
    CliArguments args;
};

// The code of every error ReadCliArguments returns, in ErrorDomain::Input: the words ask for
// nothing the program can run. The caller decides the exit status.
inline constexpr int kUsageError = 1;

// Reads arguments (the program's name first). A usage error's text says why; it is empty
// when no command was given. defaultLanguage is --lang's value when it is not given.
Result<CliRequest> ReadCliArguments(const QStringList& arguments, const QString& defaultLanguage);

} // namespace posflash
