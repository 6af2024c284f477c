#include "Settings.h"

#include <QFile>
#include <QList>
#include <QSaveFile>

#include <cmath>
#include <limits>
#include <optional>
#include <unistd.h>

namespace twl {

namespace {

constexpr auto kSettingsSection = QLatin1String("Settings");

// A value is read into a buffer of this size, its terminator included: a longer value is cut.
constexpr qsizetype kReadBufferSize = 2408;

constexpr QByteArrayView kUtf8Bom("\xEF\xBB\xBF");

struct IniLine {
    QByteArray text; // without its line end
    QByteArray eol;  // empty only for an unterminated last line
};

struct KeyLocation {
    qsizetype sectionLine = -1;
    qsizetype keyLine = -1;
    qsizetype lastLine = -1; // last non-blank line of the section
};

std::optional<QString> sectionName(const QString& trimmedLine) {
    if (!trimmedLine.startsWith(u'['))
        return std::nullopt;
    const qsizetype end = trimmedLine.lastIndexOf(u']');
    if (end < 0)
        return std::nullopt;
    return trimmedLine.mid(1, end - 1).trimmed();
}

QString keyName(const QString& trimmedLine) {
    const qsizetype eq = trimmedLine.indexOf(u'=');
    return eq < 0 ? trimmedLine : trimmedLine.left(eq).trimmed();
}

QString valueOf(const QString& line) {
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return {};
    QString value = line.mid(eq + 1).trimmed();
    if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
        value = value.mid(1, value.size() - 2);
    return value;
}

// The lines of an initialisation file, each with its own line end, so that a change to one
// key leaves every other byte of the file as it was.
class IniText {
public:
    // A missing file reads as empty; false only when an existing file cannot be read.
    bool load(const QString& path);
    bool save(const QString& path) const;
    std::optional<QString> value(const QString& section, const QString& key) const;
    void setValue(const QString& section, const QString& key, const QString& value);

private:
    KeyLocation locate(const QString& section, const QString& key) const;
    QString trimmedText(qsizetype index) const;
    void split(const QByteArray& bytes);
    void append(const QByteArray& text);

    QList<IniLine> m_lines;
    QByteArray m_eol = QByteArrayLiteral("\r\n"); // line end for new lines
    bool m_bom = false;
};

bool IniText::load(const QString& path) {
    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly))
        return false;
    split(file.readAll());
    return file.error() == QFileDevice::NoError;
}

void IniText::split(const QByteArray& bytes) {
    m_bom = bytes.startsWith(kUtf8Bom);
    qsizetype pos = m_bom ? kUtf8Bom.size() : 0;
    const qsizetype firstLf = bytes.indexOf('\n', pos);
    if (firstLf > 0 && bytes.at(firstLf - 1) != '\r')
        m_eol = QByteArrayLiteral("\n");
    while (pos < bytes.size()) {
        const qsizetype lf = bytes.indexOf('\n', pos);
        if (lf < 0) {
            m_lines.append({bytes.mid(pos), {}});
            break;
        }
        const bool crlf = lf > pos && bytes.at(lf - 1) == '\r';
        const qsizetype textEnd = crlf ? lf - 1 : lf;
        m_lines.append({bytes.mid(pos, textEnd - pos), crlf ? "\r\n" : "\n"});
        pos = lf + 1;
    }
}

} // namespace

bool writeSettingsFile(const QString& path, const QByteArray& bytes) {
    // The new text goes to a file of its own that takes the old one's place only when complete.
    // Unbuffered, so that a full disk fails the write itself: a buffered write that fails only
    // while committing is not noticed, and an empty file would take the old one's place. The
    // commit does not report a failed sync either, so the sync is done here first.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(bytes) != bytes.size() || ::fsync(file.handle()) != 0) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

namespace {

bool IniText::save(const QString& path) const {
    QByteArray bytes = m_bom ? kUtf8Bom.toByteArray() : QByteArray();
    for (const IniLine& line : m_lines) {
        bytes += line.text;
        bytes += line.eol.isEmpty() ? m_eol : line.eol;
    }
    return writeSettingsFile(path, bytes);
}

QString IniText::trimmedText(qsizetype index) const {
    return QString::fromUtf8(m_lines.at(index).text).trimmed();
}

KeyLocation IniText::locate(const QString& section, const QString& key) const {
    KeyLocation at;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const QString text = trimmedText(i);
        if (const auto name = sectionName(text)) {
            if (at.sectionLine >= 0)
                break; // only the first section of that name counts
            if (name->compare(section, Qt::CaseInsensitive) == 0)
                at.sectionLine = at.lastLine = i;
            continue;
        }
        if (at.sectionLine < 0 || text.isEmpty())
            continue;
        at.lastLine = i;
        if (at.keyLine < 0 && !text.startsWith(u';') &&
            keyName(text).compare(key, Qt::CaseInsensitive) == 0)
            at.keyLine = i;
    }
    return at;
}

std::optional<QString> IniText::value(const QString& section, const QString& key) const {
    const KeyLocation at = locate(section, key);
    if (at.keyLine < 0)
        return std::nullopt;
    return valueOf(QString::fromUtf8(m_lines.at(at.keyLine).text)).left(kReadBufferSize - 1);
}

void IniText::setValue(const QString& section, const QString& key, const QString& value) {
    const QByteArray text = (key + u'=' + value).toUtf8();
    const KeyLocation at = locate(section, key);
    if (at.keyLine >= 0) {
        m_lines[at.keyLine].text = text;
    } else if (at.sectionLine >= 0) {
        m_lines.insert(at.lastLine + 1, {text, m_eol});
    } else {
        if (!m_lines.isEmpty() && !trimmedText(m_lines.size() - 1).isEmpty())
            append({});
        append((u'[' + section + u']').toUtf8());
        append(text);
    }
}

void IniText::append(const QByteArray& text) {
    m_lines.append({text, m_eol});
}

// "True"/"False" in any case, or a number (non-zero is true); anything else gives `fallback`.
bool toBoolSetting(const QString& text, bool fallback) {
    const QString t = text.trimmed();
    if (t.compare(u"True", Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(u"False", Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double number = t.toDouble(&ok);
    if (ok && std::isfinite(number))
        return number != 0.0;
    return fallback;
}

std::optional<qint16> toWholeNumber(const QString& text) {
    const QString t = text.trimmed();
    const qsizetype first = t.startsWith(u'+') || t.startsWith(u'-') ? 1 : 0;
    if (t.size() == first)
        return std::nullopt;
    for (qsizetype i = first; i < t.size(); ++i) {
        if (t.at(i) < u'0' || t.at(i) > u'9')
            return std::nullopt;
    }
    bool ok = false;
    const qlonglong number = t.toLongLong(&ok);
    if (!ok || number < std::numeric_limits<qint16>::min() ||
        number > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return static_cast<qint16>(number);
}

QString boolText(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

} // namespace

QString readIniValue(const QString& path, const QString& section, const QString& key,
                     const QString& defaultValue) {
    IniText ini;
    if (!ini.load(path))
        return defaultValue;
    return ini.value(section, key).value_or(defaultValue);
}

bool writeIniValue(const QString& path, const QString& section, const QString& key,
                   const QString& value) {
    IniText ini;
    if (!ini.load(path))
        return false;
    ini.setValue(section, key, value);
    return ini.save(path);
}

AppSettings readAppSettings(const QString& iniPath) {
    IniText ini;
    AppSettings s;
    if (!ini.load(iniPath))
        return s;
    const auto text = [&ini](const char* key, const char* fallback) {
        return ini.value(kSettingsSection, QLatin1String(key)).value_or(QLatin1String(fallback));
    };
    s.checkResolution = toBoolSetting(text("CheckRes", "True"), true);
    s.scoreSkipPreview = toBoolSetting(text("ScorSkipPP", "False"), false);
    s.paySkipPreview = toBoolSetting(text("PaySkipPP", "False"), false);
    s.scoreCopies = toWholeNumber(text("ScorCopies", "1")).value_or(1);
    return s;
}

bool writeAppSettings(const QString& iniPath, const AppSettings& s) {
    IniText ini;
    if (!ini.load(iniPath))
        return false;
    ini.setValue(kSettingsSection, QStringLiteral("ScorSkipPP"), boolText(s.scoreSkipPreview));
    ini.setValue(kSettingsSection, QStringLiteral("PaySkipPP"), boolText(s.paySkipPreview));
    ini.setValue(kSettingsSection, QStringLiteral("CheckRes"), boolText(s.checkResolution));
    ini.setValue(kSettingsSection, QStringLiteral("ScorCopies"),
                 formatSignedSetting(s.scoreCopies));
    return ini.save(iniPath);
}

QString formatSignedSetting(qint16 value) {
    const QChar sign = value < 0 ? u'-' : u' ';
    return sign + QString::number(std::abs(static_cast<int>(value)));
}

} // namespace twl
