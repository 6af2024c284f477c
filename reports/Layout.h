#pragma once

#include "common/PagedReport.h"

#include <QMargins>
#include <QString>
#include <QStringList>
#include <vector>

namespace reports {

// One thing drawn in a band: a label (its caption set by the program or fixed in the layout),
// a text box bound to a field of a data member, a line or a box. Positions are twips from the
// band's top-left corner inside the page margins.
struct Control {
    enum class Kind { Label, TextBox, Line, Box };
    Kind kind = Kind::Label;
    QString name;
    QRect twips;
    QString caption;    // labels: "%p", "%P" and "%D" are filled in on each page
    QString dataMember; // text boxes: the named level of the data; empty for the outer rows
    QString field;      // text boxes: the field of that level they print
    QString format;     // display format of a text box ("$"#,##0.00); empty: the value as it is
    TextStyle style;
    int lineWidth = 15;
};

// A band by role, named as the layouts name them.
struct Section {
    QString name;
    int height = 0;
    bool visible = true;
    bool ownPage = false; // the report header as a title sheet: a page of its own
    int level = -1;       // group sections: the depth of the data they repeat for; -1: by role
    QString dataMember;   // the level of the data its text boxes read unless they name their own
    std::vector<Control> controls;
};

namespace section {
inline const QString ReportHeader = QStringLiteral("Section4");
inline const QString PageHeader = QStringLiteral("Section2");
inline const QString OuterGroupHeader = QStringLiteral("Section6");
inline const QString InnerGroupHeader = QStringLiteral("Section8");
inline const QString Detail = QStringLiteral("Section1");
inline const QString InnerGroupFooter = QStringLiteral("Section9");
inline const QString OuterGroupFooter = QStringLiteral("Section7");
inline const QString PageFooter = QStringLiteral("Section3");
inline const QString ReportFooter = QStringLiteral("Section5");
} // namespace section

// A banded page design, read from a layout file, text boxes bound to their fields there. The
// program fills it for one run: the captions it computes and the title sheet's visibility; a
// name the layout does not have is an error, so a misspelt control never goes unnoticed.
class Layout {
public:
    // Reads a layout file (JSON; the built-in ones are ":/layouts/<name>.json").
    // Throws ReportError naming the file for one that cannot be read or does not make sense.
    static Layout load(const QString& path);
    static Layout fromJson(const QByteArray& json, const QString& origin);

    const QString& name() const { return m_name; }
    const QString& title() const { return m_title; }
    const PaperSize& paper() const { return m_paper; }
    const QMargins& margins() const { return m_margins; }
    const std::vector<Section>& sections() const { return m_sections; }

    const Section* section(const QString& name) const;
    QStringList textBoxFields() const;                 // the fields its text boxes print, each once
    const Control& control(const QString& name) const; // throws ReportError when missing
    bool hasControl(const QString& name) const;

    void setCaption(const QString& control, const QString& caption);
    void setSectionVisible(const QString& sectionName, bool visible);

private:
    Control& controlToSet(const QString& name);
    Section& sectionToSet(const QString& name);

    QString m_name;
    QString m_title;
    PaperSize m_paper;
    QMargins m_margins{720, 720, 720, 720};
    std::vector<Section> m_sections; // in the order of the layout file
};

} // namespace reports
