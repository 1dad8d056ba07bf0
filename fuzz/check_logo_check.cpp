#include "checks.h"

#include "cli/cli.h"
#include "cli/console_host.h"
#include "codec/logo_format.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <vector>

namespace vantrel::fuzz {

namespace {

// The header fields of a logo bitmap as Windows takes it, written out apart
// from the code under test: where each lies, how long it is and which
// values it may hold.
struct Field {
    const char *name;
    std::size_t offset;
    std::size_t size;
    bool (*ok)(std::uint32_t value);
};

constexpr Field kFields[] = {
    {"bfType", 0, 2, [](std::uint32_t v) { return v == ('B' | 'M' << 8); }},
    {"bfSize", 2, 4, [](std::uint32_t v) { return v == 129078; }},
    {"bfReserved1", 6, 2, [](std::uint32_t v) { return v == 0; }},
    {"bfReserved2", 8, 2, [](std::uint32_t v) { return v == 0; }},
    {"bfOffBits", 10, 4, [](std::uint32_t v) { return v == 1078; }},
    {"biSize", 14, 4, [](std::uint32_t v) { return v == 40; }},
    {"biWidth", 18, 4, [](std::uint32_t v) { return v == 320; }},
    {"biHeight", 22, 4, [](std::uint32_t v) { return v == 400; }},
    {"biPlanes", 26, 2, [](std::uint32_t v) { return v == 1; }},
    {"biBitCount", 28, 2, [](std::uint32_t v) { return v == 8; }},
    {"biCompression", 30, 4, [](std::uint32_t v) { return v == 0; }},
    {"biSizeImage", 34, 4, [](std::uint32_t v) { return v == 128000 || v == 0; }},
    {"biXPelsPerMeter", 38, 4, [](std::uint32_t) { return true; }},
    {"biYPelsPerMeter", 42, 4, [](std::uint32_t) { return true; }},
    {"biClrUsed", 46, 4, [](std::uint32_t v) { return v == 0 || v == 256; }},
    {"biClrImportant", 50, 4, [](std::uint32_t) { return true; }},
};

std::uint32_t fieldValue(std::span<const std::uint8_t> b, const Field &field)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < field.size; ++i)
        value |= std::uint32_t(b[field.offset + i]) << (8 * i);
    return value;
}

bool fieldOk(std::span<const std::uint8_t> b, const Field &field)
{
    return field.offset + field.size <= b.size() && field.ok(fieldValue(b, field));
}

bool isLogoBitmap(std::span<const std::uint8_t> b)
{
    if (b.size() != 129078)
        return false;
    for (const Field &field : kFields) {
        if (!fieldOk(b, field))
            return false;
    }
    return true;
}

// The file the command checks, rewritten for each input.
const QString &inputFile()
{
    static const QTemporaryDir directory;
    static const QString path = directory.filePath(QStringLiteral("input.bmp"));
    return path;
}

void writeInput(std::span<const std::uint8_t> input)
{
    QFile file(inputFile());
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate),
            [&] { return "cannot write the input file: " + file.errorString().toStdString(); });
    require(file.write(reinterpret_cast<const char *>(input.data()), qint64(input.size())) ==
                qint64(input.size()),
            "cannot write the input file");
}

// The report line check prints for `name`, up to its value.
QString reportStart(const QString &name)
{
    return "  " + name.leftJustified(16) + ' ';
}

} // namespace

Outcome checkLogoCheck(std::span<const std::uint8_t> input)
{
    const bool logo = isLogoBitmap(input);

    // The header checks on exactly the bytes there are, so that a read
    // past them is one past the end of an allocation of that size.
    const std::size_t headerLength = std::min(input.size(), kHeaderBlockLength);
    const std::vector<std::uint8_t> header(input.begin(),
                                           input.begin() + std::ptrdiff_t(headerLength));
    const QString problem = logoBitmapProblem(header, std::int64_t(input.size()));
    require(problem.isEmpty() == logo, [&] {
        return "logoBitmapProblem says \"" + problem.toStdString() + "\" for a file that " +
               (logo ? "is" : "is not") + " a logo bitmap";
    });
    if (input.size() != std::size_t(kLogoLength)) {
        require(problem == QStringLiteral("%1 bytes, expected 129078").arg(input.size()), [&] {
            return "a file of the wrong length is refused for \"" + problem.toStdString() + "\"";
        });
    }
    const std::vector<std::uint8_t> start(
        input.begin(),
        input.begin() + std::ptrdiff_t(std::min<std::size_t>(input.size(), kPaletteOffset)));
    const std::vector<HeaderField> fields = checkHeaderFields(start);
    require(fields.size() == std::size(kFields), [&] {
        return "checkHeaderFields reports " + std::to_string(fields.size()) + " fields";
    });
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const HeaderField &field = fields[i];
        const Field &expected = kFields[i];
        const std::string name = expected.name;
        require(field.name == QLatin1String(expected.name) && field.offset == expected.offset, [&] {
            return "field " + std::to_string(i) + " is " + field.name.toStdString() + ", not " +
                   name;
        });
        require(field.present == (expected.offset + expected.size <= start.size()), [&] {
            return name + (field.present ? " is read past the end of " : " is missing from ") +
                   std::to_string(start.size()) + " bytes";
        });
        require(field.ok == fieldOk(start, expected), [&] {
            return name + " = " + field.found.toStdString() + " is judged " +
                   (field.ok ? "ok" : "wrong");
        });
    }

    writeInput(input);
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    ConsoleHost host(errStream);
    CliContext context{host, outStream, errStream};
    const int code = runCli({QStringLiteral("check"), inputFile()}, context);
    outStream.flush();
    errStream.flush();

    require(code == (logo ? 0 : 1), [&] {
        return "check exits " + std::to_string(code) + " for a file that " +
               (logo ? "is" : "is not") + " a logo bitmap";
    });
    require(err.isEmpty(),
            [&] { return "check of a readable file complains: " + err.toStdString(); });
    const QString verdict =
        reportStart(QStringLiteral("result")) + (logo ? "a logo bitmap\n" : "not a logo bitmap\n");
    require(out.endsWith(verdict), [&] {
        return "check's report does not end with \"" + verdict.trimmed().toStdString() + "\":\n" +
               out.toStdString();
    });

    if (input.size() == std::size_t(kLogoLength)) {
        // Byte 50 and the pixels decide what the report says of the
        // animation, counted here without the code under test.
        const int first = input[kStartEntryOffset];
        const QString animation = reportStart(QStringLiteral("animation"));
        if (first == 0) {
            require(out.contains(animation + "no animation (byte 50 is 0)\n"),
                    "check misses that byte 50 is 0");
        } else {
            std::size_t animated = 0;
            for (std::size_t i = kHeaderBlockLength; i < input.size(); ++i)
                animated += input[i] >= first ? 1 : 0;
            const QString pixels = reportStart(QStringLiteral("animated pixels")) +
                                   QStringLiteral("%1 of 128000").arg(animated);
            require(out.contains(pixels), [&] {
                return "check does not count " + std::to_string(animated) + " animated pixels:\n" +
                       out.toStdString();
            });
        }
    }
    return logo ? Outcome::Taken : Outcome::Refused;
}

} // namespace vantrel::fuzz
