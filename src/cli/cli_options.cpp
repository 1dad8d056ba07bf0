#include "cli/cli_options.h"

#include "codec/logo_format.h"

#include <algorithm>

namespace vantrel {

OptionReader::OptionReader(const QStringList &arguments, std::vector<OptionRule> options, Stop stop)
    : m_arguments(arguments), m_options(std::move(options)), m_stop(stop)
{}

const OptionRule *OptionReader::find(const QString &name) const
{
    const auto found = std::find_if(m_options.begin(), m_options.end(),
                                    [&](const OptionRule &rule) { return name == rule.name; });
    return found == m_options.end() ? nullptr : &*found;
}

std::optional<Option> OptionReader::next()
{
    while (m_next < m_arguments.size()) {
        const QString &argument = m_arguments[m_next++];
        if (argument == "--") {
            m_operands += m_arguments.mid(m_next);
            m_next = m_arguments.size();
        } else if (!argument.startsWith('-') || argument == "-") {
            m_operands << argument;
            if (m_stop == Stop::AtFirstOperand) {
                m_operands += m_arguments.mid(m_next);
                m_next = m_arguments.size();
            }
        } else {
            const qsizetype equals = argument.indexOf('=');
            Option option{argument.left(equals), {}};
            const OptionRule *rule = find(option.name);
            if (rule == nullptr)
                throw UsageError("unknown option '" + argument + "'");
            if (rule->kind == OptionRule::Flag && equals >= 0)
                throw UsageError(option.name + " takes no value");
            if (rule->kind == OptionRule::Value) {
                if (equals >= 0)
                    option.value = argument.mid(equals + 1);
                else if (m_next < m_arguments.size())
                    option.value = m_arguments[m_next++];
                else
                    throw UsageError(option.name + " needs a value");
            }
            return option;
        }
    }
    return std::nullopt;
}

QStringList OptionReader::operands(qsizetype low, qsizetype high, const QString &problem) const
{
    if (m_operands.size() < low || m_operands.size() > high)
        throw UsageError(problem);
    return m_operands;
}

QStringList readOperands(const QStringList &arguments, qsizetype low, qsizetype high,
                         const QString &problem)
{
    OptionReader reader(arguments, {});
    while (reader.next()) {
    }
    return reader.operands(low, high, problem);
}

bool asksForHelp(const QStringList &arguments)
{
    const auto end = std::find(arguments.begin(), arguments.end(), QStringLiteral("--"));
    return std::any_of(arguments.begin(), end, [](const QString &argument) {
        return argument == "--help" || argument == "-h";
    });
}

std::optional<int> parseInteger(const QString &text, int low, int high)
{
    bool isNumber = false;
    const int value = text.toInt(&isNumber, 10);
    if (!isNumber || value < low || value > high)
        return std::nullopt;
    return value;
}

int readInteger(const QString &value, int low, int high, const QString &what, const QString &unit)
{
    const std::optional<int> number = parseInteger(value, low, high);
    if (!number) {
        throw UsageError(QStringLiteral("the %1 must be an integer from %2 to %3%4, not '%5'")
                             .arg(what, QString::number(low), QString::number(high), unit, value));
    }
    return *number;
}

int readStartEntry(const QString &value)
{
    return readInteger(value, kMinStartEntry, kMaxStartEntry, QStringLiteral("starting entry"));
}

LogoSlot readSlot(const QString &word)
{
    const QString w = word.toLower();
    for (const LogoSlot slot : kAllSlots) {
        if (w == slotWord(slot) || w == slotName(slot))
            return slot;
    }
    throw UsageError(QStringLiteral("unknown slot '%1'").arg(word));
}

} // namespace vantrel
