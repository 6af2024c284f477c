#include "Pagination.h"

#include "ReportError.h"
#include "ValueText.h"
#include "store/StoreError.h"

#include <algorithm>

namespace reports {
namespace {

// The levels of the data from the outer rows down to the detail: member names, "" for the
// outer rows.
QStringList levelPath(const store::ShapedRows& data, const QString& detailMember) {
    QStringList path{QString()};
    if (detailMember.isEmpty())
        return path;
    const store::ShapedRows* level = &data;
    while (level) {
        if (level->members().contains(detailMember)) {
            path << detailMember;
            return path;
        }
        if (level->members().isEmpty() || level->rowCount() == 0)
            break;
        path << level->members().first();
        level = &level->chapter(0, level->members().first());
    }
    if (data.rowCount() == 0)
        return path.mid(0, 1);
    throw ReportError(QStringLiteral("The report's data has no level \"%1\".").arg(detailMember));
}

QString detailMember(const Layout& layout) {
    const Section* detail = layout.section(section::Detail);
    if (detail && !detail->dataMember.isEmpty())
        return detail->dataMember;
    if (detail)
        for (const Control& c : detail->controls)
            if (c.kind == Control::Kind::TextBox && !c.dataMember.isEmpty())
                return c.dataMember;
    return {};
}

class Paginator {
public:
    Paginator(const Layout& layout, const store::ShapedRows& data, const QDate& printDate)
        : m_layout(layout), m_data(data), m_printDate(printDate),
          m_path(levelPath(data, detailMember(layout))) {
        m_report.title = layout.title();
        m_report.paper = layout.paper();
        m_header = visible(section::PageHeader);
        m_footer = visible(section::PageFooter);
        const QMargins& margins = layout.margins();
        m_top = margins.top();
        m_bodyBottom = layout.paper().height - margins.bottom() - (m_footer ? m_footer->height : 0);
        const int detailDepth = int(m_path.size()) - 1;
        m_innerDepth = groupDepth(section::InnerGroupHeader, detailDepth - 1);
        m_outerDepth = groupDepth(section::OuterGroupHeader, detailDepth - 2);
    }

    PagedReport run() {
        m_levels.assign(size_t(m_path.size()), Position{});
        startPage();
        if (const Section* title = visible(section::ReportHeader)) {
            place(*title);
            if (title->ownPage)
                newPage();
        }
        walk(0, m_data);
        if (const Section* footer = visible(section::ReportFooter))
            placeFlowing(*footer, 0);
        finishPage();
        fillPageFields();
        return std::move(m_report);
    }

private:
    struct Position {
        const store::ShapedRows* rows = nullptr;
        int row = -1;
    };

    const Section* visible(const QString& name) const {
        const Section* s = m_layout.section(name);
        return s && s->visible ? s : nullptr;
    }

    int groupDepth(const QString& header, int byRole) const {
        const Section* s = m_layout.section(header);
        return s && s->level >= 0 ? s->level : byRole;
    }

    // What must follow a group header of `depth` on its page: the inner group's header, when
    // the group holds inner groups, and the first detail band.
    int heightAfterHeader(int depth) const {
        int height = 0;
        if (const Section* detail = visible(section::Detail))
            height += detail->height;
        if (depth < m_innerDepth)
            if (const Section* inner = visible(section::InnerGroupHeader))
                height += inner->height;
        return height;
    }

    void walk(int depth, const store::ShapedRows& rows) {
        const int detailDepth = int(m_path.size()) - 1;
        const Section* detail = visible(section::Detail);
        for (int r = 0; r < rows.rowCount(); ++r) {
            m_levels[size_t(depth)] = {&rows, r};
            if (depth == m_outerDepth)
                if (const Section* s = visible(section::OuterGroupHeader))
                    placeFlowing(*s, heightAfterHeader(depth));
            if (depth == m_innerDepth)
                if (const Section* s = visible(section::InnerGroupHeader))
                    placeFlowing(*s, heightAfterHeader(depth));
            if (depth == detailDepth) {
                if (detail)
                    placeFlowing(*detail, 0);
            } else {
                walk(depth + 1, rows.chapter(r, m_path[depth + 1]));
            }
            if (depth == m_innerDepth)
                if (const Section* s = visible(section::InnerGroupFooter))
                    placeFlowing(*s, 0);
            if (depth == m_outerDepth)
                if (const Section* s = visible(section::OuterGroupFooter))
                    placeFlowing(*s, 0);
        }
        m_levels[size_t(depth)] = {};
    }

    // A band in the flow of the pages; `keepWith` more twips must fit after it (a group header
    // keeps its first row beside it).
    void placeFlowing(const Section& band, int keepWith) {
        placePendingHeader();
        if (m_y + band.height + keepWith > m_bodyBottom && m_y > m_bodyTop) {
            newPage();
            placePendingHeader();
        }
        place(band);
    }

    void placePendingHeader() {
        if (!m_headerPending)
            return;
        m_headerPending = false;
        if (m_header)
            place(*m_header);
        m_bodyTop = m_y;
    }

    void startPage() {
        m_report.pages.emplace_back();
        m_pageFields.emplace_back();
        m_y = m_top;
        m_bodyTop = m_y;
        m_headerPending = true;
    }

    void newPage() {
        finishPage();
        startPage();
    }

    void finishPage() {
        // A page with nothing of the data on it (an empty report) still shows its header.
        const bool titleOnly = m_report.pages.size() == 1 && m_titleOwnPage();
        if (!titleOnly)
            placePendingHeader();
        if (m_footer) {
            m_y = m_bodyBottom;
            place(*m_footer);
        }
    }

    bool m_titleOwnPage() const {
        const Section* title = visible(section::ReportHeader);
        return title && title->ownPage;
    }

    void place(const Section& band) {
        Page& page = m_report.pages.back();
        const int left = m_layout.margins().left();
        std::vector<const Control*> order;
        for (const Control& c : band.controls)
            order.push_back(&c);
        std::stable_sort(order.begin(), order.end(), [](const Control* a, const Control* b) {
            return a->twips.top() != b->twips.top() ? a->twips.top() < b->twips.top()
                                                    : a->twips.left() < b->twips.left();
        });
        for (const Control* c : order) {
            PlacedItem item;
            item.twips = c->twips.translated(left, m_y);
            item.style = c->style;
            item.lineWidth = c->lineWidth;
            switch (c->kind) {
            case Control::Kind::Label:
                item.text = c->caption;
                if (hasPageFields(item.text))
                    m_pageFields.back().push_back(page.items.size());
                break;
            case Control::Kind::TextBox:
                item.text = boundText(*c);
                item.fromData = true;
                break;
            case Control::Kind::Line:
                item.kind = PlacedItem::Kind::Line;
                break;
            case Control::Kind::Box:
                item.kind = PlacedItem::Kind::Box;
                break;
            }
            page.items.push_back(std::move(item));
        }
        m_y += band.height;
    }

    static bool hasPageFields(const QString& text) {
        return text.contains(QLatin1String("%p")) || text.contains(QLatin1String("%P")) ||
               text.contains(QLatin1String("%D"));
    }

    QString boundText(const Control& c) const {
        if (c.field.isEmpty())
            return {};
        const int depth = int(m_path.indexOf(c.dataMember));
        const Position* at = nullptr;
        if (depth >= 0 && m_levels[size_t(depth)].rows)
            at = &m_levels[size_t(depth)];
        if (!at)
            return {}; // the band stands outside the rows this text box reads
        try {
            return valueText(at->rows->value(at->row, c.field), c.format);
        } catch (const store::StoreError&) {
            throw ReportError(QStringLiteral("The report layout \"%1\": \"%2\" reads the field "
                                             "\"%3\", which the report's data does not have.")
                                  .arg(m_layout.name(), c.name, c.field));
        }
    }

    void fillPageFields() {
        const QString total = QString::number(m_report.pageCount());
        const QString date = defaultDate(m_printDate);
        for (int p = 0; p < m_report.pageCount(); ++p) {
            const QString number = QString::number(p + 1);
            for (size_t index : m_pageFields[size_t(p)]) {
                QString& text = m_report.pages[size_t(p)].items[index].text;
                text.replace(QLatin1String("%p"), number)
                    .replace(QLatin1String("%P"), total)
                    .replace(QLatin1String("%D"), date);
            }
        }
    }

    const Layout& m_layout;
    const store::ShapedRows& m_data;
    QDate m_printDate;
    QStringList m_path;
    std::vector<Position> m_levels;
    PagedReport m_report;
    std::vector<std::vector<size_t>> m_pageFields;
    const Section* m_header = nullptr;
    const Section* m_footer = nullptr;
    int m_top = 0;
    int m_y = 0;
    int m_bodyTop = 0;
    int m_bodyBottom = 0;
    int m_innerDepth = -1;
    int m_outerDepth = -1;
    bool m_headerPending = false;
};

} // namespace

PagedReport paginate(const Layout& layout, const store::ShapedRows& data, const QDate& printDate) {
    return Paginator(layout, data, printDate).run();
}

} // namespace reports
