#pragma once

#include "Layout.h"
#include "common/PagedReport.h"
#include "store/Shape.h"

#include <QDate>

namespace reports {

// Lays a filled layout out over shaped data, page by page:
// - the report header first (on a page of its own when it is a title sheet), when visible;
// - the page header at the top and the page footer at the bottom of every page;
// - the data walked from its outer rows down to the level the detail's text boxes read: each
//   level's group header before its rows and group footer after them, one detail band per row
//   of the innermost level; a group header never stands alone at the foot of a page (it
//   goes over with the inner group's header and the first row that follow it);
// - the report footer after the data;
// - "%p", "%P" and "%D" of the layout's captions replaced by the page number, the number of
//   pages and the print date.
// Throws ReportError when a text box reads a level or field the data does not have.
//
// Every page laid out at once.
PagedReport paginate(const Layout& layout, const store::ShapedRows& data, const QDate& printDate);

// The same pages, each laid out when it is asked for. Where the pages begin is found first by a
// walk of the bands' heights alone (a page breaks on heights, never on a value), so the number of
// pages is known before any page is laid out, and a page is then laid out from where it begins:
// the first page of a long report shows without the others being made, and a long report never
// holds all its pages at once. Throws as paginate does, before any page is asked for.
PagedReport paginateOnDemand(Layout layout, store::ShapedRows data, const QDate& printDate);

} // namespace reports
