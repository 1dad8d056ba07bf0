#pragma once

// The rules of the animation maker that need no window: how a typed
// starting entry is read, shown, bounded and rounded, how the stored
// settings are judged, and which target name the target picker proposes.
//
// The maker's Strt box accepts any text. Its value is the number at the
// start of the text, read the way a typed quantity is read: blanks
// anywhere are ignored and reading stops at the first character that
// cannot continue the number. The box shows numbers in the display format,
// one space standing for the sign of a non-negative value (" 236").

#include <QString>
#include <QStringView>

#include <optional>

namespace vantrel {

// The number at the start of `text`. Blanks, tabs and line feeds are
// skipped wherever they stand ("1 2" reads 12). An optional sign, digits,
// a decimal point with more digits and an exponent ("e" or "E", an
// optional sign, digits) are taken; reading stops at the first character
// that cannot continue the number, and an exponent without digits is left
// unread ("1e" reads 1). Text that does not start with a number reads 0.
// Returns std::nullopt when the number is too large for a double
// ("1e999"); a number too small to be told from 0 reads as 0.
std::optional<double> readNumber(QStringView text);

// `value` in the display format: plain decimal without an exponent, with
// as many decimals as the value has up to 15 significant digits, a
// leading "0" before the point of a fraction below 1, and one leading
// space for a value that is not negative (" 236", " 12.5", " 0.5",
// "-3"). Negative zero shows as " 0". Infinite or not-a-number values
// give the empty text.
QString displayNumber(double value);

// `value` rounded to the nearest whole number, halves to the even
// neighbour (0.5 -> 0, 1.5 -> 2, 2.5 -> 2, 255.5 -> 256). Exact for every
// finite double.
double roundHalfToEven(double value);

// A starting entry typed into the maker's Strt box, as the box takes it:
// the number at the start of the text (readNumber), raised to 1 when
// negative and lowered to 256 when larger.
struct TypedStartEntry {
    // That number in the display format, for the box to show ("-5" shows
    // " 1", "12.5" shows " 12.5"); empty when there is no number.
    QString shown;
    // The number rounded half to even (roundHalfToEven) when that is a
    // starting entry, 1..255. std::nullopt when it rounds to 0 or 256 or
    // the text holds a number too large to read: the typing is discarded.
    std::optional<int> entry;
};

// The typed text `text` as a starting entry; see TypedStartEntry.
TypedStartEntry readTypedStartEntry(QStringView text);

// The stored "Starting Entry" as a starting entry: a whole number 1..255
// written in decimal digits, blanks around it allowed ("236", "007").
// Anything else ("0", "256", "12.5", "-5", "abc", "") is std::nullopt, for
// the caller to keep its default.
std::optional<int> readStoredStartEntry(const QString &stored);

// The stored "Reverse Palette" as a check box value: 0 (unchecked), 1
// (checked) or 2 (greyed), blanks around it allowed. Anything else is
// std::nullopt.
std::optional<int> readStoredCheckValue(const QString &stored);

// The name the target picker proposes for the source text `source`: "*.SYS"
// while no source is chosen (the text is "Source File") or when the text
// is shorter than three characters, otherwise the text without its last
// three characters followed by "sys" ("C:\pics\logo.bmp" gives
// "C:\pics\logo.sys"). Characters are counted as Unicode code points.
QString proposeTarget(const QString &source);

} // namespace vantrel
