#include "checks.h"

#include "host/disk/mtools_drive.h"

#include <QString>

namespace vantrel::fuzz {

namespace {

bool hasControl(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return true;
    }
    return false;
}

// A short name as mdir lists it: "LOGOW    SYS".
QString shortForm(const QString &name)
{
    const qsizetype dot = name.lastIndexOf('.');
    return dot <= 0 ? name : name.left(dot).leftJustified(8) + ' ' + name.mid(dot + 1);
}

// A listing of one file as mdir prints it, with `longName` after its
// short name "LOGO     SYS".
QString listingOf(const QString &longName, qint64 size)
{
    return QStringLiteral(" Volume in drive : is WIN95\n\nDirectory for ::/WINDOWS\n\n"
                          "LOGO     SYS %1 2024-05-01  10:00  %2\n        1 file\n")
        .arg(size, 9)
        .arg(longName);
}

} // namespace

Outcome checkMtoolsListing(std::span<const std::uint8_t> input)
{
    // The name asked for on the first line, the listing after it.
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char *>(input.data()), qsizetype(input.size()));
    const qsizetype cut = text.indexOf('\n');
    const QString wanted = cut < 0 ? text : text.left(cut);
    const QString listing = cut < 0 ? QString() : text.mid(cut + 1);

    const std::optional<MtoolsDrive::Entry> entry = findInListing(listing, wanted);
    if (!wanted.isEmpty() && !hasControl(wanted) && wanted.trimmed() == wanted) {
        const qint64 size = qint64(input.size()) * 1000;
        const std::optional<MtoolsDrive::Entry> made =
            findInListing(listingOf(wanted, size), wanted);
        require(made && made->name == wanted && !made->directory && made->size == size, [&] {
            return "the long name \"" + wanted.toStdString() + "\" is not found as listed";
        });
    }
    if (!entry)
        return Outcome::Refused;
    require(!entry->name.isEmpty() && !entry->name.contains('\n'), "an entry without a name");
    require(listing.contains(entry->name) || listing.contains(shortForm(entry->name)),
            "an entry whose name is not in the listing");
    require(entry->size >= 0 && (!entry->directory || entry->size == 0),
            "an entry of a negative size, or a directory with a size");
    require(entry->name.compare(wanted, Qt::CaseInsensitive) == 0 ||
                listing.contains(shortForm(wanted), Qt::CaseInsensitive),
            "an entry that is not the one asked for");
    return Outcome::Taken;
}

} // namespace vantrel::fuzz
