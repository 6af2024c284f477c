#include "MailMerge.h"

#include "store/RecordSet.h"
#include "store/StoreError.h"
#include "store/Value.h"

namespace twl::MailMerge {

namespace {

// A Word-style prologue (font table, colour table, style sheet, document information, section
// settings), then the definition of a row of seven bordered cells and the heading row.
constexpr const char* HeaderPieces[] =
    {
        R"rtf({\rtf1\ansi\ansicpg1252\uc1 \deff0\deflang1033\deflangfe1033{\fonttbl{\f0\froman\fcharset0\fprq2{\*\panose 02020603050405020304}Times New Roman;}{\f294\froman\fcharset238\fprq2 Times New Roman CE;}{\f295\froman\fcharset204\fprq2 Times New Roman Cyr;})rtf",
        R"rtf({\f297\froman\fcharset161\fprq2 Times New Roman Greek;}{\f298\froman\fcharset162\fprq2 Times New Roman Tur;}{\f299\froman\fcharset177\fprq2 Times New Roman (Hebrew);}{\f300\froman\fcharset178\fprq2 Times New Roman (Arabic);})rtf",
        R"rtf({\f301\froman\fcharset186\fprq2 Times New Roman Baltic;}}{\colortbl;\red0\green0\blue0;\red0\green0\blue255;\red0\green255\blue255;\red0\green255\blue0;\red255\green0\blue255;\red255\green0\blue0;\red255\green255\blue0;\red255\green255\blue255;)rtf",
        R"rtf(\red0\green0\blue128;\red0\green128\blue128;\red0\green128\blue0;\red128\green0\blue128;\red128\green0\blue0;\red128\green128\blue0;\red128\green128\blue128;\red192\green192\blue192;}{\stylesheet{)rtf",
        R"rtf(\ql \li0\ri0\widctlpar\aspalpha\aspnum\faauto\adjustright\rin0\lin0\itap0 \fs24\lang1033\langfe1033\cgrid\langnp1033\langfenp1033 \snext0 Normal;}{\*\cs10 \additive Default Paragraph Font;}}{\info{\title Name}{\author Main}{\operator Main})rtf",
        R"rtf({\creatim\yr2005\mo4\dy24\hr23\min7}{\revtim\yr2005\mo4\dy24\hr23\min10}{\version1}{\edmins3}{\nofpages1}{\nofwords0}{\nofchars0}{\nofcharsws0}{\vern8203}})rtf",
        R"rtf(\widowctrl\ftnbj\aenddoc\noxlattoyen\expshrtn\noultrlspc\dntblnsbdb\nospaceforul\formshade\horzdoc\dgmargin\dghspace180\dgvspace180\dghorigin1800\dgvorigin1440\dghshow1\dgvshow1)rtf",
        R"rtf(\jexpand\viewkind1\viewscale88\viewzk2\pgbrdrhead\pgbrdrfoot\splytwnine\ftnlytwnine\htmautsp\nolnhtadjtbl\useltbaln\alntblind\lytcalctblwd\lyttblrtgr\lnbrkrule \fet0\sectd \linex0\endnhere\sectlinegrid360\sectdefaultcl {\*\pnseclvl1)rtf",
        R"rtf(\pnucrm\pnstart1\pnindent720\pnhang{\pntxta .}}{\*\pnseclvl2\pnucltr\pnstart1\pnindent720\pnhang{\pntxta .}}{\*\pnseclvl3\pndec\pnstart1\pnindent720\pnhang{\pntxta .}}{\*\pnseclvl4\pnlcltr\pnstart1\pnindent720\pnhang{\pntxta )}}{\*\pnseclvl5)rtf",
        R"rtf(\pndec\pnstart1\pnindent720\pnhang{\pntxtb (}{\pntxta )}}{\*\pnseclvl6\pnlcltr\pnstart1\pnindent720\pnhang{\pntxtb (}{\pntxta )}}{\*\pnseclvl7\pnlcrm\pnstart1\pnindent720\pnhang{\pntxtb (}{\pntxta )}}{\*\pnseclvl8\pnlcltr\pnstart1\pnindent720\pnhang)rtf",
        R"rtf({\pntxtb (}{\pntxta )}}{\*\pnseclvl9\pnlcrm\pnstart1\pnindent720\pnhang{\pntxtb (}{\pntxta )}}\trowd \trgaph108\trleft-720\trbrdrt\brdrs\brdrw10 \trbrdrl\brdrs\brdrw10 \trbrdrb\brdrs\brdrw10 \trbrdrr\brdrs\brdrw10 \trbrdrh\brdrs\brdrw10 \trbrdrv)rtf",
        R"rtf(\brdrs\brdrw10 \trftsWidth3\trwWidth10080\trautofit1\trpaddl108\trpaddr108\trpaddfl3\trpaddfr3 \clvertalt\clbrdrt\brdrs\brdrw10 \clbrdrl\brdrs\brdrw10 \clbrdrb\brdrs\brdrw10 \clbrdrr\brdrs\brdrw10 \cltxlrtb\clftsWidth3\clwWidth1800 \cellx1080\clvertalt)rtf",
        R"rtf(\clbrdrt\brdrs\brdrw10 \clbrdrl\brdrs\brdrw10 \clbrdrb\brdrs\brdrw10 \clbrdrr\brdrs\brdrw10 \cltxlrtb\clftsWidth3\clwWidth1620 \cellx2700\clvertalt\clbrdrt\brdrs\brdrw10 \clbrdrl\brdrs\brdrw10 \clbrdrb\brdrs\brdrw10 \clbrdrr\brdrs\brdrw10 )rtf",
        R"rtf(\cltxlrtb\clftsWidth3\clwWidth1620 \cellx4320\clvertalt\clbrdrt\brdrs\brdrw10 \clbrdrl\brdrs\brdrw10 \clbrdrb\brdrs\brdrw10 \clbrdrr\brdrs\brdrw10 \cltxlrtb\clftsWidth3\clwWidth1620 \cellx5940\clvertalt\clbrdrt\brdrs\brdrw10 \clbrdrl\brdrs\brdrw10 )rtf",
        R"rtf(\clbrdrb\brdrs\brdrw10 \clbrdrr\brdrs\brdrw10 \cltxlrtb\clftsWidth3\clwWidth1080 \cellx7020\clvertalt\clbrdrt\brdrs\brdrw10 \clbrdrl\brdrs\brdrw10 \clbrdrb\brdrs\brdrw10 \clbrdrr\brdrs\brdrw10 \cltxlrtb\clftsWidth3\clwWidth1080 \cellx8100\clvertalt)rtf",
        R"rtf(\clbrdrt\brdrs\brdrw10 \clbrdrl\brdrs\brdrw10 \clbrdrb\brdrs\brdrw10 \clbrdrr\brdrs\brdrw10 \cltxlrtb\clftsWidth3\clwWidth1260 \cellx9360\pard\plain \ql \li0\ri0\widctlpar\intbl\aspalpha\aspnum\faauto\adjustright\rin0\lin0 )rtf",
        R"rtf(\fs24\lang1033\langfe1033\cgrid\langnp1033\langfenp1033 {Name\cell Address 1\cell Address 2\cell City\cell State\cell Zip\cell Number\cell }\pard \ql \li0\ri0\widctlpar\intbl\aspalpha\aspnum\faauto\adjustright\rin0\lin0 {\trowd \trgaph108\trleft-720)rtf",
        R"rtf(\trbrdrt\brdrs\brdrw10 \trbrdrl\brdrs\brdrw10 \trbrdrb\brdrs\brdrw10 \trbrdrr\brdrs\brdrw10 \trbrdrh\brdrs\brdrw10 \trbrdrv\brdrs\brdrw10 \trftsWidth3\trwWidth10080\trautofit1\trpaddl108\trpaddr108\trpaddfl3\trpaddfr3 \clvertalt\clbrdrt\brdrs\brdrw10 )rtf",
        R"rtf(\clbrdrl\brdrs\brdrw10 \clbrdrb\brdrs\brdrw10 \clbrdrr\brdrs\brdrw10 \cltxlrtb\clftsWidth3\clwWidth1800 \cellx1080\clvertalt\clbrdrt\brdrs\brdrw10 \clbrdrl\brdrs\brdrw10 \clbrdrb\brdrs\brdrw10 \clbrdrr\brdrs\brdrw10 \cltxlrtb\clftsWidth3\clwWidth1620 )rtf",
        R"rtf(\cellx2700\clvertalt\clbrdrt\brdrs\brdrw10 \clbrdrl\brdrs\brdrw10 \clbrdrb\brdrs\brdrw10 \clbrdrr\brdrs\brdrw10 \cltxlrtb\clftsWidth3\clwWidth1620 \cellx4320\clvertalt\clbrdrt\brdrs\brdrw10 \clbrdrl\brdrs\brdrw10 \clbrdrb\brdrs\brdrw10 \clbrdrr)rtf",
        R"rtf(\brdrs\brdrw10 \cltxlrtb\clftsWidth3\clwWidth1620 \cellx5940\clvertalt\clbrdrt\brdrs\brdrw10 \clbrdrl\brdrs\brdrw10 \clbrdrb\brdrs\brdrw10 \clbrdrr\brdrs\brdrw10 \cltxlrtb\clftsWidth3\clwWidth1080 \cellx7020\clvertalt\clbrdrt\brdrs\brdrw10 \clbrdrl)rtf",
        R"rtf(\brdrs\brdrw10 \clbrdrb\brdrs\brdrw10 \clbrdrr\brdrs\brdrw10 \cltxlrtb\clftsWidth3\clwWidth1080 \cellx8100\clvertalt\clbrdrt\brdrs\brdrw10 \clbrdrl\brdrs\brdrw10 \clbrdrb\brdrs\brdrw10 \clbrdrr\brdrs\brdrw10 \cltxlrtb\clftsWidth3\clwWidth1260 \cellx9360)rtf",
        R"rtf(\row }\pard \ql \li0\ri0\widctlpar)rtf",
};

// What follows the "\widctlpar" that ends the header and every row: the paragraph of a row's
// cells, up to the first value.
constexpr const char* RowStart[] = {
    R"rtf(pard\plain \ql \li0\ri0\widctlpar\intbl\aspalpha\aspnum\faauto\adjustright\rin0\lin0 )rtf",
    R"rtf(\fs24\lang1033\langfe1033\cgrid\langnp1033\langfenp1033 {)rtf",
};

constexpr const char* CellMark = R"rtf(\cell )rtf";

// After the last value: its cell mark, the row's definition again and the row mark.
constexpr const char* RowEndPieces[] = {
    R"rtf(\cell }\pard \ql \li0\ri0\widctlpar\intbl\aspalpha\aspnum\faauto\adjustright\rin0\lin0 {\trowd \trgaph108\trleft-720)rtf",
    R"rtf(\trbrdrt\brdrs\brdrw10 \trbrdrl\brdrs\brdrw10 \trbrdrb\brdrs\brdrw10 \trbrdrr\brdrs\brdrw10 \trbrdrh\brdrs\brdrw10 \trbrdrv\brdrs\brdrw10 \trftsWidth3\trwWidth10080\trautofit1\trpaddl108\trpaddr108\trpaddfl3\trpaddfr3 \clvertalt\clbrdrt\brdrs\brdrw10)rtf",
    R"rtf(\clbrdrl\brdrs\brdrw10 \clbrdrb\brdrs\brdrw10 \clbrdrr\brdrs\brdrw10 \cltxlrtb\clftsWidth3\clwWidth1800 \cellx1080\clvertalt\clbrdrt\brdrs\brdrw10 \clbrdrl\brdrs\brdrw10 \clbrdrb\brdrs\brdrw10 \clbrdrr\brdrs\brdrw10 \cltxlrtb\clftsWidth3\clwWidth1620)rtf",
    R"rtf(\cellx2700\clvertalt\clbrdrt\brdrs\brdrw10 \clbrdrl\brdrs\brdrw10 \clbrdrb\brdrs\brdrw10 \clbrdrr\brdrs\brdrw10 \cltxlrtb\clftsWidth3\clwWidth1620 \cellx4320\clvertalt\clbrdrt\brdrs\brdrw10 \clbrdrl\brdrs\brdrw10 \clbrdrb\brdrs\brdrw10 \clbrdrr)rtf",
    R"rtf(\brdrs\brdrw10 \cltxlrtb\clftsWidth3\clwWidth1620 \cellx5940\clvertalt\clbrdrt\brdrs\brdrw10 \clbrdrl\brdrs\brdrw10 \clbrdrb\brdrs\brdrw10 \clbrdrr\brdrs\brdrw10 \cltxlrtb\clftsWidth3\clwWidth1080 \cellx7020\clvertalt\clbrdrt\brdrs\brdrw10 \clbrdrl)rtf",
    R"rtf(\brdrs\brdrw10 \clbrdrb\brdrs\brdrw10 \clbrdrr\brdrs\brdrw10 \cltxlrtb\clftsWidth3\clwWidth1080 \cellx8100\clvertalt\clbrdrt\brdrs\brdrw10 \clbrdrl\brdrs\brdrw10 \clbrdrb\brdrs\brdrw10 \clbrdrr\brdrs\brdrw10 \cltxlrtb\clftsWidth3\clwWidth1260 \cellx9360)rtf",
    R"rtf(\row }\pard \ql \li0\ri0\widctlpar)rtf"};

constexpr const char* Closing =
    R"rtf(\aspalpha\aspnum\faauto\adjustright\rin0\lin0\itap0 {\par }})rtf"
    "\r\n";

template <std::size_t N> QByteArray joined(const char* const (&pieces)[N]) {
    QByteArray text;
    for (const char* piece : pieces)
        text += piece;
    return text;
}

// The code page's characters 0x80 to 0x9F; 0 where the page has none.
constexpr char16_t HighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

char windows1252Byte(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (int i = 0; i < 32; ++i) {
        if (HighControls[i] != 0 && HighControls[i] == c)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

} // namespace

const std::array<const char*, ColumnCount>& columnFields() {
    static constexpr std::array<const char*, ColumnCount> Fields{
        "[Mem Nam]",   "[Mem Add_1]", "[Mem Add_2]", "[Mem City]",
        "[Mem State]", "[Mem Zip]",   "[Mem Num]"};
    return Fields;
}

QString fileName(const QString& chosen) {
    if (chosen.right(4).toUpper() == QLatin1String(".RTF"))
        return chosen;
    return chosen + QStringLiteral(".rtf");
}

QByteArray rtfText(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        if (c == U'\\' || c == U'{' || c == U'}') {
            bytes += '\\';
            bytes += char(c);
            continue;
        }
        const char byte = windows1252Byte(c);
        if (byte != '?' || c == U'?') {
            bytes += byte;
            continue;
        }
        for (const QChar unit : QString::fromUcs4(&c, 1))
            bytes += "\\u" + QByteArray::number(qint16(unit.unicode())) + '?';
    }
    return bytes;
}

Writer::Writer(const QString& path) : m_file(path) {
    // Never written in place: a failure leaves the target as it was.
    m_file.setDirectWriteFallback(false);
    if (!m_file.open(QIODevice::WriteOnly)) {
        m_failed = true;
        return;
    }
    put(joined(HeaderPieces));
}

void Writer::writeMember(const Row& values) {
    QByteArray row = joined(RowStart);
    for (int column = 0; column < ColumnCount; ++column) {
        row += rtfText(values[std::size_t(column)]);
        if (column < ColumnCount - 1)
            row += CellMark;
    }
    row += joined(RowEndPieces);
    put(row);
}

bool Writer::finish() {
    put(QByteArray(Closing));
    if (m_failed) {
        if (m_file.isOpen())
            m_file.cancelWriting();
        return false;
    }
    return m_file.commit();
}

QString Writer::errorString() const {
    return m_file.errorString();
}

void Writer::put(const QByteArray& bytes) {
    if (m_failed)
        return;
    if (m_file.write(bytes) != bytes.size())
        m_failed = true;
}

Outcome writeRegister(const QString& orgConnection, const QString& path) {
    Writer writer(path);
    try {
        store::RecordSet members;
        members.open(RegisterQuery, orgConnection);
        for (members.moveFirst(); !members.eof(); members.moveNext()) {
            Row values;
            for (int column = 0; column < ColumnCount; ++column)
                values[std::size_t(column)] =
                    members.value(QString::fromLatin1(columnFields()[std::size_t(column)]))
                        .toText();
            writer.writeMember(values);
        }
    } catch (const store::StoreError& error) {
        // The writer goes without finishing: nothing of the file stays.
        return {Outcome::Result::ReadFailed, error.message()};
    }
    if (!writer.finish())
        return {Outcome::Result::WriteFailed, writer.errorString()};
    return {};
}

} // namespace twl::MailMerge
