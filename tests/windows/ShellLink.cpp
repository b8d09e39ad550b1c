#include "ShellLink.h"

#include <QtEndian>

namespace {

// The shell link's class id, {00021401-0000-0000-C000-000000000046}, as the header stores it.
const QByteArray LinkClassId = QByteArray::fromHex("0114020000000000c000000000000046");

// LinkFlags
constexpr quint32 HasLinkTargetIdList = 0x1, HasLinkInfo = 0x2, HasName = 0x4, HasRelativePath = 0x8, HasWorkingDir = 0x10,
                  HasArguments = 0x20, HasIconLocation = 0x40, IsUnicode = 0x80;
// LinkInfoFlags
constexpr quint32 VolumeIdAndLocalBasePath = 0x1;

// Reads little-endian numbers and strings at offsets, and notes the first read past the end.
class Bytes {
public:
    explicit Bytes(const QByteArray &bytes) : m_bytes(bytes) {}
    bool overrun() const { return m_overrun; }

    quint32 u32(qsizetype at) { return fits(at, 4) ? qFromLittleEndian<quint32>(m_bytes.constData() + at) : 0; }
    quint16 u16(qsizetype at) { return fits(at, 2) ? qFromLittleEndian<quint16>(m_bytes.constData() + at) : 0; }
    QByteArray slice(qsizetype at, qsizetype length) { return fits(at, length) ? m_bytes.mid(at, length) : QByteArray(); }

    // Strings ended by a NUL or of a given length: of single bytes in the system's code page
    // (read here as Latin-1, exact for the ASCII paths the tests install to), or of UTF-16 units.
    QString ansiUntilNul(qsizetype at)
    {
        const qsizetype end = at >= 0 ? m_bytes.indexOf('\0', at) : -1;
        m_overrun |= end < 0;
        return end < 0 ? QString() : QString::fromLatin1(m_bytes.mid(at, end - at));
    }
    QString utf16UntilNul(qsizetype at)
    {
        QString text;
        for (qsizetype i = at; fits(i, 2); i += 2) {
            const quint16 unit = qFromLittleEndian<quint16>(m_bytes.constData() + i);
            if (unit == 0)
                return text;
            text.append(QChar(unit));
        }
        return QString();
    }
    QString utf16(qsizetype at, qsizetype count)
    {
        QString text;
        for (qsizetype i = 0; i < count && fits(at + 2 * i, 2); ++i)
            text.append(QChar(qFromLittleEndian<quint16>(m_bytes.constData() + at + 2 * i)));
        return text;
    }
    QString latin1(qsizetype at, qsizetype count) { return QString::fromLatin1(slice(at, count)); }

private:
    bool fits(qsizetype at, qsizetype length)
    {
        const bool inside = at >= 0 && length >= 0 && at + length <= m_bytes.size();
        m_overrun |= !inside;
        return inside;
    }

    const QByteArray &m_bytes;
    bool m_overrun = false;
};

}  // namespace

ShellLink ShellLink::read(const QByteArray &data)
{
    ShellLink link;
    Bytes bytes(data);
    if (bytes.u32(0) != 0x4C || bytes.slice(4, 16) != LinkClassId) {
        link.error = QStringLiteral("no shell link header");
        return link;
    }
    const quint32 flags = bytes.u32(20);
    link.iconIndex = static_cast<qint32>(bytes.u32(56));
    link.showCommand = bytes.u32(60);
    qsizetype at = 0x4C;

    if (flags & HasLinkTargetIdList)
        at += 2 + bytes.u16(at);

    if (flags & HasLinkInfo) {
        const qsizetype info = at;
        const quint32 size = bytes.u32(info), headerSize = bytes.u32(info + 4), infoFlags = bytes.u32(info + 8);
        if (infoFlags & VolumeIdAndLocalBasePath) {
            // The Unicode forms are there when the header is long enough to give their offsets.
            if (headerSize >= 0x24)
                link.target = bytes.utf16UntilNul(info + bytes.u32(info + 28)) + bytes.utf16UntilNul(info + bytes.u32(info + 32));
            else
                link.target = bytes.ansiUntilNul(info + bytes.u32(info + 16)) + bytes.ansiUntilNul(info + bytes.u32(info + 24));
        }
        at += size;
    }

    // StringData: each string present in this order, as a count of characters and the characters.
    QString relativePath;
    const std::pair<quint32, QString *> strings[] = {{HasName, &link.name},
                                                     {HasRelativePath, &relativePath},
                                                     {HasWorkingDir, &link.workingDirectory},
                                                     {HasArguments, &link.arguments},
                                                     {HasIconLocation, &link.iconLocation}};
    for (const auto &[flag, field] : strings) {
        if (!(flags & flag))
            continue;
        const quint16 count = bytes.u16(at);
        at += 2;
        *field = (flags & IsUnicode) ? bytes.utf16(at, count) : bytes.latin1(at, count);
        // Wine counts a terminating NUL in; the shell uses the string only up to it
        field->truncate(field->indexOf(QChar(0)) >= 0 ? field->indexOf(QChar(0)) : field->size());
        at += (flags & IsUnicode) ? 2 * qsizetype(count) : qsizetype(count);
    }
    if (bytes.overrun())
        link.error = QStringLiteral("the link ends before what its header announces");
    return link;
}
