#include "TalentReport.h"

#include "core/questionnaire/Catalogue.h"
#include "core/report/BandedReport.h"
#include "core/store/DbError.h"
#include "core/store/SqlQuery.h"

namespace talentreport {

namespace {
constexpr int kNameLength = 50;
}  // namespace

QString specialSql() {
    return QStringList{QStringLiteral("Select Code,count(*) as  icount  from special"),
                       QStringLiteral("group by code "), QStringLiteral("order by code ")}
        .join(u'\n');
}

QString codeText(const QString& code) {
    int n = 0;
    if (!SqlQuery::parseInteger(code, &n)) return {};
    switch (n) {
        case 1:
            return QStringLiteral("代码1");
        case 2:
            return QStringLiteral("代码2");
        case 99:
            return QStringLiteral("其他");
        default:
            return {};
    }
}

QString nameOf(const QString& code) {
    int n = 0;
    // A code that is not a whole number keeps its row with an empty name (the old program
    // stopped the report with a conversion error here).
    if (!SqlQuery::parseInteger(code, &n)) return {};
    const catalogue::Group& special = catalogue::group(catalogue::Special);
    const int box = special.boxForCode(n);
    return box < 0 ? QString() : catalogue::qs(special.boxes[size_t(box)].caption).left(kNameLength);
}

void Rows::open() {
    if (m_query.isOpen()) return;
    m_query.open();
    m_walked = false;
    calcFields();
}

void Rows::calcFields() {
    if (m_query.isOpen() && !m_query.eof())
        m_name = nameOf(m_query.text(QStringLiteral("Code")));
    else
        m_name.clear();
}

void Rows::first() {
    if (!m_query.isOpen()) return;
    if (m_walked) {
        // Results are read forward only: a second walk runs the statement again.
        try {
            m_query.open();
        } catch (const DbError&) {
            m_query.close();
        }
        m_walked = false;
    }
    calcFields();
}

void Rows::next() {
    if (!m_query.isOpen() || m_query.eof()) return;
    m_walked = true;
    try {
        m_query.next();
    } catch (const DbError&) {
        m_query.close();  // the rows read so far still print
    }
    calcFields();
}

bool Rows::eof() const { return !m_query.isOpen() || m_query.eof(); }

QString Rows::displayText(const QString& field) const {
    if (eof()) return {};
    if (field.compare(QLatin1String("Name"), Qt::CaseInsensitive) == 0) return m_name;
    if (field.compare(QLatin1String("Code"), Qt::CaseInsensitive) == 0)
        return codeText(m_query.text(QStringLiteral("Code")));
    if (field.compare(QLatin1String("icount"), Qt::CaseInsensitive) == 0)
        return QString::number(m_query.integer(QStringLiteral("icount")));
    return m_query.text(field);
}

bool exportPdf(const QString& file, QString* error) {
    SqlQuery query(QStringLiteral("MyDb"));
    query.setSql(specialSql(), {}, QStringLiteral("special"));
    Rows rows(query);
    try {
        rows.open();
    } catch (const DbError& e) {
        if (error) *error = QStringLiteral("无法打开专业及特长统计的数据（%1）。").arg(e.statement());
        return false;
    }
    const report::BandedReport report(specialReport(), &rows);
    return report.exportPdf(file, QStringLiteral("专业及特长人数统计"), error);
}

report::Definition specialReport() {
    using namespace report;
    Definition d;
    d.name = QStringLiteral("Rpt_Special");
    d.paper = QSizeF(210.0, 297.0);
    d.marginLeft = d.marginTop = d.marginRight = d.marginBottom = 10.0;
    d.columns = 1;
    d.pageHeaderOnFirstPage = true;
    d.pageFooterOnLastPage = true;
    d.printIfEmpty = true;
    d.font = QFont(QStringLiteral("Arial"), 10);

    constexpr double kTextHeight = 4.50;
    auto label = [](const char* name, const QString& text, double left, double top, double width) {
        Item i;
        i.kind = Item::Kind::Label;
        i.name = QString::fromLatin1(name);
        i.text = text;
        i.left = left;
        i.top = top;
        i.size = QSizeF(width, kTextHeight);
        i.autoSize = width <= 0;
        return i;
    };
    auto field = [](const char* name, const char* fieldName, double left, double top, double width) {
        Item i;
        i.kind = Item::Kind::Field;
        i.name = QString::fromLatin1(name);
        i.text = QString::fromLatin1(fieldName);
        i.left = left;
        i.top = top;
        i.size = QSizeF(width, kTextHeight);
        return i;
    };
    auto vline = [](const char* name, double left, double top, double length) {
        Item i;
        i.kind = Item::Kind::VerticalLine;
        i.name = QString::fromLatin1(name);
        i.left = left;
        i.top = top;
        i.size = QSizeF(0, length);
        return i;
    };

    Band pageHeader{BandKind::PageHeader, 10.58, NoFrame, {}};
    pageHeader.items << label("Lbl_Office", QStringLiteral("Marrowgate街道办事处"), 4.23, 4.23, 0);

    Band title{BandKind::Title, 15.61, NoFrame, {}};
    Item heading = label("Lbl_Title", QStringLiteral("专业及特长人数统计"), 38.10, 4.23, 99.75);
    heading.size.setHeight(8.73);
    // 华文行楷, GB2312 character set; Fonts maps the face to an installed one.
    heading.font = QFont(QStringLiteral("华文行楷"), 20);
    title.items << heading;

    Band columnHeader{BandKind::ColumnHeader, 10.58, FrameAll, {}};
    columnHeader.items << label("Lbl_Category", QStringLiteral(" 类              别"), 8.47, 4.23, 46.83)
                       << label("Lbl_Count", QStringLiteral("人数"), 112.18, 4.23, 0)
                       << vline("Line_Header", 64.29, 0.26, 9.53);

    Band detail{BandKind::Detail, 10.58, FrameLeft | FrameRight | FrameBottom, {}};
    detail.items << field("Fld_Name", "Name", 6.35, 4.23, 51.06)
                 << field("Fld_icount", "icount", 110.07, 4.23, 17.20)
                 << vline("Line_Detail", 64.29, -0.79, 10.58);

    Band pageFooter{BandKind::PageFooter, 10.58, NoFrame, {}};

    d.bands << pageHeader << title << columnHeader << detail << pageFooter;
    return d;
}

}  // namespace talentreport
