#include "Layout.h"

#include "ReportError.h"
#include "ValueText.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace reports {
namespace {

const QStringList SectionNames{
    section::ReportHeader,     section::PageHeader, section::OuterGroupHeader,
    section::InnerGroupHeader, section::Detail,     section::InnerGroupFooter,
    section::OuterGroupFooter, section::PageFooter, section::ReportFooter};

class Reader {
public:
    explicit Reader(QString origin) : m_origin(std::move(origin)) {}

    [[noreturn]] void fail(const QString& what) const {
        throw ReportError(
            QStringLiteral("The report layout \"%1\" cannot be used: %2").arg(m_origin, what));
    }

    int twips(const QJsonObject& o, const char* key, const QString& where, int fallback = 0) const {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined())
            return fallback;
        if (!v.isDouble() || v.toDouble() < 0 || v.toDouble() > 100000)
            fail(QStringLiteral("%1 has a bad \"%2\"").arg(where, QLatin1String(key)));
        return v.toInt();
    }

    TextStyle style(const QJsonObject& o, const QString& where) const {
        TextStyle s;
        s.pointSize = twips(o, "size", where, 10);
        if (s.pointSize < 4 || s.pointSize > 72)
            fail(QStringLiteral("%1 has a font size outside 4 to 72").arg(where));
        s.bold = o.value(QLatin1String("bold")).toBool();
        s.italic = o.value(QLatin1String("italic")).toBool();
        const QString align = o.value(QLatin1String("align")).toString(QStringLiteral("left"));
        if (align == QLatin1String("right"))
            s.align = TextAlign::Right;
        else if (align == QLatin1String("center"))
            s.align = TextAlign::Center;
        else if (align != QLatin1String("left"))
            fail(QStringLiteral("%1 has an unknown alignment \"%2\"").arg(where, align));
        return s;
    }

    Control control(const QJsonObject& o, const QString& sectionName) const {
        Control c;
        c.name = o.value(QLatin1String("name")).toString();
        const QString where = QStringLiteral("control \"%1\" of %2").arg(c.name, sectionName);
        const QString type = o.value(QLatin1String("type")).toString();
        if (type == QLatin1String("label"))
            c.kind = Control::Kind::Label;
        else if (type == QLatin1String("textbox"))
            c.kind = Control::Kind::TextBox;
        else if (type == QLatin1String("line"))
            c.kind = Control::Kind::Line;
        else if (type == QLatin1String("box"))
            c.kind = Control::Kind::Box;
        else
            fail(QStringLiteral("%1 has an unknown type \"%2\"").arg(where, type));
        c.twips = QRect(twips(o, "left", where), twips(o, "top", where), twips(o, "width", where),
                        twips(o, "height", where));
        c.caption = o.value(QLatin1String("caption")).toString();
        c.dataMember = o.value(QLatin1String("member")).toString();
        c.field = o.value(QLatin1String("field")).toString();
        c.format = o.value(QLatin1String("format")).toString();
        if (c.kind == Control::Kind::TextBox && c.field.isEmpty())
            fail(QStringLiteral("%1 is a text box bound to no field").arg(where));
        if (!isKnownFormat(c.format))
            fail(QStringLiteral("%1 has an unknown format %2").arg(where, c.format));
        c.style = style(o, where);
        c.lineWidth = twips(o, "lineWidth", where, 15);
        return c;
    }

    Section section(const QJsonObject& o) const {
        Section s;
        s.name = o.value(QLatin1String("name")).toString();
        if (!SectionNames.contains(s.name))
            fail(QStringLiteral("unknown section \"%1\"").arg(s.name));
        s.height = twips(o, "height", s.name);
        s.visible = o.value(QLatin1String("visible")).toBool(true);
        s.ownPage = o.value(QLatin1String("ownPage")).toBool(false);
        s.level = o.value(QLatin1String("level")).toInt(-1);
        s.dataMember = o.value(QLatin1String("member")).toString();
        for (const QJsonValue& v : o.value(QLatin1String("controls")).toArray()) {
            const QJsonObject object = v.toObject();
            Control c = control(object, s.name);
            // A text box reads the section's level of the data unless it names its own ("" for
            // the outer rows).
            if (c.kind == Control::Kind::TextBox && !object.contains(QLatin1String("member")))
                c.dataMember = s.dataMember;
            const bool inside = c.twips.bottom() < s.height ||
                                (c.kind == Control::Kind::Line && c.twips.top() <= s.height);
            if (!inside)
                fail(QStringLiteral("control \"%1\" reaches below %2").arg(c.name, s.name));
            s.controls.push_back(std::move(c));
        }
        return s;
    }

private:
    QString m_origin;
};

} // namespace

Layout Layout::load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ReportError(QStringLiteral("The report layout \"%1\" cannot be read: %2")
                              .arg(path, file.errorString()));
    return fromJson(file.readAll(), path);
}

Layout Layout::fromJson(const QByteArray& json, const QString& origin) {
    const Reader reader(origin);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (document.isNull() || !document.isObject())
        reader.fail(
            QStringLiteral("%1 at character %2").arg(error.errorString()).arg(error.offset));
    const QJsonObject root = document.object();
    Layout layout;
    layout.m_name = root.value(QLatin1String("name")).toString();
    layout.m_title = root.value(QLatin1String("title")).toString();
    const QJsonObject paper = root.value(QLatin1String("paper")).toObject();
    layout.m_paper.width = reader.twips(paper, "width", QStringLiteral("paper"), 12240);
    layout.m_paper.height = reader.twips(paper, "height", QStringLiteral("paper"), 15840);
    const QJsonObject margins = root.value(QLatin1String("margins")).toObject();
    const QString m = QStringLiteral("margins");
    layout.m_margins =
        QMargins(reader.twips(margins, "left", m, 720), reader.twips(margins, "top", m, 720),
                 reader.twips(margins, "right", m, 720), reader.twips(margins, "bottom", m, 720));
    for (const QJsonValue& v : root.value(QLatin1String("sections")).toArray())
        layout.m_sections.push_back(reader.section(v.toObject()));

    int fixedHeight = 0;
    for (const QString& name : {section::PageHeader, section::PageFooter})
        if (const Section* s = layout.section(name))
            fixedHeight += s->height;
    int tallest = 0;
    for (const Section& s : layout.m_sections)
        if (s.name != section::PageHeader && s.name != section::PageFooter)
            tallest = std::max(tallest, s.height);
    const int body = layout.m_paper.height - layout.m_margins.top() - layout.m_margins.bottom();
    if (fixedHeight + tallest > body)
        reader.fail(QStringLiteral("its bands do not fit on a page"));
    return layout;
}

const Section* Layout::section(const QString& name) const {
    for (const Section& s : m_sections)
        if (s.name == name)
            return &s;
    return nullptr;
}

QStringList Layout::textBoxFields() const {
    QStringList fields;
    for (const Section& s : m_sections)
        for (const Control& c : s.controls)
            if (c.kind == Control::Kind::TextBox && !c.field.isEmpty() && !fields.contains(c.field))
                fields << c.field;
    return fields;
}

const Control& Layout::control(const QString& name) const {
    for (const Section& s : m_sections)
        for (const Control& c : s.controls)
            if (c.name == name)
                return c;
    throw ReportError(
        QStringLiteral("The report layout \"%1\" has no control \"%2\".").arg(m_name, name));
}

bool Layout::hasControl(const QString& name) const {
    for (const Section& s : m_sections)
        for (const Control& c : s.controls)
            if (c.name == name)
                return true;
    return false;
}

Control& Layout::controlToSet(const QString& name) {
    return const_cast<Control&>(control(name));
}

Section& Layout::sectionToSet(const QString& name) {
    for (Section& s : m_sections)
        if (s.name == name)
            return s;
    throw ReportError(
        QStringLiteral("The report layout \"%1\" has no section \"%2\".").arg(m_name, name));
}

void Layout::setCaption(const QString& control, const QString& caption) {
    Control& c = controlToSet(control);
    if (c.kind != Control::Kind::Label)
        throw ReportError(QStringLiteral("The report layout \"%1\": \"%2\" is not a label.")
                              .arg(m_name, control));
    c.caption = caption;
}

void Layout::setSectionVisible(const QString& sectionName, bool visible) {
    sectionToSet(sectionName).visible = visible;
}

} // namespace reports
