#pragma once

#include "base/error.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace posflash {

// A station's high-water marks: per recipe name, the highest sequence it has verified. A recipe
// below its name's mark is an older approval put back, and is refused. One file per name,
// named by the lower-case hex of the name's UTF-8 bytes, holding the sequence in decimal and a
// line break. Anyone reads a mark directly; only a process that may write the folder writes
// it, any other asks posflash-mark-helper, which never lowers a mark.
class RecipeMarks {
public:
    // helperPath: the setuid helper that raises marks in a folder the caller cannot write.
    RecipeMarks(QString folder, QString helperPath);

    // /var/lib/posflash/recipe-marks, where the operator cannot lower a mark; a build tree
    // without the system parts (no such folder) keeps its marks in
    // $XDG_STATE_HOME/posflash/recipe-marks instead.
    static RecipeMarks station();

    const QString& folder() const { return folder_; }
    const QString& helperPath() const { return helperPath_; }

    // The mark of name: 0 when none is kept; an error when the file cannot be read or holds
    // no mark (a damaged mark must not become 0).
    Result<std::int64_t> read(const QString& name) const;

    // Raises the mark of name to sequence (never lowers it); returns the mark now kept.
    Result<std::int64_t> raise(const QString& name, std::int64_t sequence) const;

private:
    QString pathOf(const QString& name) const;
    Result<std::int64_t> raiseThroughHelper(const QString& name, std::int64_t sequence) const;

    QString folder_;
    QString helperPath_;
};

// "kept 7" → 7: the helper's answer on success; nothing for any other text.
std::optional<std::int64_t> KeptMarkFromAnswer(const QByteArray& answer);

} // namespace posflash
