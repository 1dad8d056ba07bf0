#pragma once

// The one reader of command-line options, for the program's own options
// and for every command's. An option is "--name" (or "-h"); one that takes
// a value has it as "--name=value" or as the next argument, whatever that
// argument is. "--" ends the options, and "-" alone is an operand, as is
// anything else that does not start with '-'. Each kind of misuse has one
// message, thrown as a UsageError:
//
//   unknown option '--loop=2'        (the whole argument, as given)
//   --start needs a value
//   --no-dither takes no value
//
// The readers of option values below throw UsageError too, so that every
// command words the same mistake the same way.

#include "logo/slots.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <stdexcept>
#include <vector>

namespace vantrel {

// A mistake in the command line, in words for the user ("unknown slot
// 'desktop'"). Whoever runs the command shows it with the usage and ends
// with kExitUsage.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const QString &problem) : std::runtime_error(problem.toStdString()) {}

    QString problem() const { return QString::fromUtf8(what()); }
};

// An option a command takes: its name, with its dashes, and whether a
// value comes with it.
struct OptionRule {
    enum Kind { Flag, Value };
    const char *name;
    Kind kind = Flag;
};

// One option as it was given; `value` is empty for a flag.
struct Option {
    QString name;
    QString value;
};

// Reads one command line's options in order, as the comment at the top
// says, against the options a command takes.
class OptionReader {
public:
    // Whether the options end at the end of the arguments, or at the first
    // operand, which with everything after it is left to another reader
    // (the program's own options end at the command word).
    enum class Stop { AtEnd, AtFirstOperand };

    OptionReader(const QStringList &arguments, std::vector<OptionRule> options,
                 Stop stop = Stop::AtEnd);

    // The next option, in the order given, collecting the operands on the
    // way; nothing once every argument is read. Throws UsageError for an
    // unknown option, a missing value or a value given to a flag.
    std::optional<Option> next();

    // The operands, once next() has returned nothing. Throws UsageError
    // with `problem` unless there are `low` to `high` of them.
    QStringList operands(qsizetype low, qsizetype high, const QString &problem) const;
    // The operands read so far, however many.
    QStringList operands() const { return m_operands; }

private:
    const OptionRule *find(const QString &name) const;

    QStringList m_arguments;
    std::vector<OptionRule> m_options;
    Stop m_stop;
    qsizetype m_next = 0;
    QStringList m_operands;
};

// The operands of a command that takes no options, checked as
// OptionReader::operands() does; an option among them is unknown.
QStringList readOperands(const QStringList &arguments, qsizetype low, qsizetype high,
                         const QString &problem);

// Whether an argument before the first "--" asks for the usage: "--help"
// or "-h".
bool asksForHelp(const QStringList &arguments);

// The decimal integer `text` spells, when it lies in low..high.
std::optional<int> parseInteger(const QString &text, int low, int high);

// The decimal integer `value` spells, from low to high. Throws UsageError
// otherwise: "the <what> must be an integer from <low> to <high><unit>,
// not '<value>'".
int readInteger(const QString &value, int low, int high, const QString &what,
                const QString &unit = {});

// The starting entry of an animated range, 1..255 as byte 50 holds it.
// Throws UsageError otherwise.
int readStartEntry(const QString &value);

// The slot a command-line word names: its slotWord ("startup",
// "shutdown", "switchoff") or its slotName ("switch-off"), in any case.
// Throws UsageError ("unknown slot 'WORD'") for another word.
LogoSlot readSlot(const QString &word);

} // namespace vantrel
