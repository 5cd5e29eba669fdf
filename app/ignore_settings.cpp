// Copying the ignore settings in and out of a job's options, and checking the dialog's fields.
#include "app/ignore_settings.h"

#include <QCoreApplication>

#include "base/display_text.h"
#include "base/size_text.h"

namespace twinfol {
namespace {

QString Text(const char* text)
{
    return QCoreApplication::translate("ExclusionsDialog", text);
}

QString Shown(const std::string& text)
{
    return QString::fromStdString(ForDisplay(text));
}

// A limit from a checked field; the message when its text is no size.
std::optional<std::int64_t> ReadField(const SizeField& field, QString& problem)
{
    if (!field.on)
        return std::nullopt;
    const std::optional<std::int64_t> bytes = ParseSizeText(field.text);
    if (!bytes && problem.isEmpty())
        problem = Text("\"%1\" is not a size: type a number of bytes, or a number with K, M, G or T after "
                       "it, such as 100M or 1.5G")
                      .arg(Shown(field.text));
    return bytes;
}

} // namespace

IgnoreSettings IgnoreSettingsOf(const SyncOptions& options)
{
    return {options.ignorePatterns, options.maxFileSize, options.minFileSize, options.deleteIgnored};
}

void PutIgnoreSettings(const IgnoreSettings& ignoring, SyncOptions& options)
{
    options.ignorePatterns = ignoring.patterns;
    options.maxFileSize = ignoring.maxFileSize;
    options.minFileSize = ignoring.minFileSize;
    options.deleteIgnored = ignoring.deleteIgnored;
}

QString PatternLineProblem(const std::string& line)
{
    if (line.find_first_of("\r\n") == std::string::npos && IsPatternLine(line))
        return {};
    return Text("\"%1\" is no ignore pattern: a pattern is one line in the syntax of a .gitignore file "
                "that can match something; an empty line, a line of spaces or a comment line that "
                "starts with # matches nothing")
        .arg(Shown(line));
}

SizeLimits ReadSizeLimits(const SizeField& larger, const SizeField& smaller)
{
    SizeLimits limits;
    limits.maxFileSize = ReadField(larger, limits.problem);
    limits.minFileSize = ReadField(smaller, limits.problem);
    if (limits.problem.isEmpty() && limits.maxFileSize && limits.minFileSize &&
        *limits.minFileSize > *limits.maxFileSize)
        limits.problem = Text("Files smaller than %1 and larger than %2 are skipped, which leaves no file "
                              "to synchronise: make the first size the smaller one")
                             .arg(QString::fromStdString(SizeLimitText(*limits.minFileSize)),
                                  QString::fromStdString(SizeLimitText(*limits.maxFileSize)));
    return limits;
}

std::string SizeFieldText(const std::string& typed)
{
    const std::optional<std::int64_t> bytes = ParseSizeText(typed);
    return bytes ? SizeLimitText(*bytes) : typed;
}

} // namespace twinfol
