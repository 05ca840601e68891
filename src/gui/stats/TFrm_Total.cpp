#include "TFrm_Total.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QTabWidget>
#include <algorithm>

#include "core/store/DbError.h"
#include "core/store/ReadSnapshot.h"
#include "core/store/SqlQuery.h"
#include "gui/stats/TotalPages.h"
#include "gui/ui/FixedDialog.h"
#include "gui/ui/StatusPanels.h"

namespace {

constexpr int kClientWidth = 691;
constexpr int kClientHeight = 345;
constexpr int kBoxWidth = 49;
constexpr int kBoxHeight = 18;
constexpr int kMargin = 16;  // left and right edge of a page
constexpr int kHeadingTop = 8;
constexpr int kFirstRowTop = 44;
constexpr int kRowPitch = 40;
constexpr int kCaptionGap = 4;  // between a caption and its box
constexpr int kMaxColumnGap = 32;

// Restores the button, the status text and the cursor however the run ends.
class RefreshGuard {
public:
    RefreshGuard(QPushButton* button, StatusPanels* bar) : m_button(button), m_bar(bar) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_button->setEnabled(false);
        m_bar->setPanelText(0, QStringLiteral("正在统计数据..."));
    }
    ~RefreshGuard() {
        m_bar->setPanelText(0, QStringLiteral("统计结束。"));
        m_button->setEnabled(true);
        QApplication::restoreOverrideCursor();
    }
    RefreshGuard(const RefreshGuard&) = delete;
    RefreshGuard& operator=(const RefreshGuard&) = delete;

private:
    QPushButton* m_button;
    StatusPanels* m_bar;
};

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text, int left) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(left, 295, 75, 25);
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

}  // namespace

TFrm_Total::TFrm_Total(QWidget* parent) : QDialog(parent) {
    setUpFixedDialog(this, QStringLiteral("Frm_Total"), QStringLiteral("汇总"),
                     QSize(kClientWidth, kClientHeight));

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(0, 3, 689, 281);
    for (const total::Page& page : total::pages()) buildPage(page);

    // Created after the tab control and in this order, which gives the tab order.
    Btn_Refesh = makeButton(this, "Btn_Refesh", QStringLiteral("刷新(&R)"), 136);
    Button2 = makeButton(this, "Button2", QStringLiteral("关闭(&Esc)"), 472);
    setTabOrder(Btn_Refesh, Button2);
    connect(Btn_Refesh, &QPushButton::clicked, this, &TFrm_Total::Btn_RefeshClick);
    // Button2 is the cancel button; Esc reaches reject() through QDialog.
    connect(Button2, &QPushButton::clicked, this, &TFrm_Total::Button2Click);

    Sb = new StatusPanels({}, this);
    Sb->setObjectName(QStringLiteral("Sb"));
    Sb->setGeometry(0, kClientHeight - 19, kClientWidth, 19);

    FormCreate();
}

void TFrm_Total::buildPage(const total::Page& page) {
    const catalogue::Group& g = catalogue::group(page.group);
    auto* sheet = new QWidget;
    sheet->setObjectName(QString::fromLatin1(page.sheet));
    PageControl1->addTab(sheet, catalogue::qs(page.tab));

    auto* heading = new QLabel(catalogue::qs(page.heading), sheet);
    QFont hf(QStringLiteral("楷体_GB2312"));
    hf.setPixelSize(19);
    heading->setFont(hf);
    QPalette hp = heading->palette();
    hp.setColor(QPalette::WindowText, QColor(0, 0, 128));  // navy
    heading->setPalette(hp);
    heading->move(kMargin, kHeadingTop);
    heading->adjustSize();

    // Captions are right-aligned within their column so that each sits just left of its box;
    // a column is as wide as its longest caption.
    const QFontMetrics fm(font());
    const int columns = *std::max_element(page.rows.begin(), page.rows.end());
    std::vector<int> captionWidth(columns, 0);
    {
        int index = 0;
        for (int perRow : page.rows)
            for (int c = 0; c < perRow; ++c, ++index)
                captionWidth[c] =
                    std::max(captionWidth[c], fm.horizontalAdvance(total::boxCaption(page, index)) + 2);
    }
    int used = 0;
    for (int w : captionWidth) used += w + kCaptionGap + kBoxWidth;
    const int available = PageControl1->width() - 2 * kMargin - 8;
    const int gap = columns > 1 ? std::clamp((available - used) / (columns - 1), 0, kMaxColumnGap) : 0;

    QFont boxFont(QStringLiteral("宋体"));
    boxFont.setPointSize(9);
    QList<QLineEdit*>& boxes = m_boxes[page.group];
    int index = 0;
    for (int row = 0; row < int(page.rows.size()); ++row) {
        int x = kMargin;
        const int y = kFirstRowTop + row * kRowPitch;
        for (int c = 0; c < page.rows[row]; ++c, ++index) {
            auto* caption = new QLabel(total::boxCaption(page, index), sheet);
            caption->setGeometry(x, y, captionWidth[c], kBoxHeight);
            caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

            auto* box = new QLineEdit(QStringLiteral("0"), sheet);
            box->setObjectName(total::boxName(page, index));
            box->setGeometry(x + captionWidth[c] + kCaptionGap, y, kBoxWidth, kBoxHeight);
            box->setFrame(false);
            box->setFont(boxFont);
            QPalette bp = box->palette();
            bp.setColor(QPalette::Text, Qt::red);
            box->setPalette(bp);
            caption->setBuddy(box);

            boxes.append(box);
            m_allBoxes.append(box);
            x += captionWidth[c] + kCaptionGap + kBoxWidth + gap;
        }
    }
    Q_ASSERT(index == int(g.boxes.size()));
}

void TFrm_Total::FormCreate() {
    PageControl1->setCurrentIndex(0);
    for (QLineEdit* box : m_allBoxes) box->setText(QStringLiteral("0"));
    SqlQuery query(QStringLiteral("MyDB"));
    // On the file the statements are counted side by side on the processor's cores; what was
    // not counted there (and everything on a server) runs here one after the other.
    const auto counted = answercounts::countOnCores(QStringLiteral("MyDB"), total::statements());
    // On a server every count comes from the same moment, while other clerks store.
    ReadSnapshot snapshot(QStringLiteral("MyDB"));
    for (std::size_t i = 0; i < total::statements().size(); ++i) {
        const total::Statement& s = total::statements()[i];
        if (counted[i])
            showCounts(s.group, *counted[i]);
        else
            snapshot.run([&] { runStatement(query, s); });
    }
}

void TFrm_Total::showCounts(int group, const QMap<int, qint64>& counts) {
    const QList<QLineEdit*>& boxes = m_boxes[group];
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (QLineEdit* box = boxes.value(it.key())) box->setText(QString::number(it.value()));
}

void TFrm_Total::runStatement(SqlQuery& query, const answercounts::Statement& statement) {
    // Counts are gathered per box before any is shown: one code stored in two spellings
    // ("1" and "01") makes two groups that belong in the same box and must add up.
    QMap<int, qint64> counts;
    try {
        answercounts::run(query, statement, counts);
    } catch (const DbError&) {
        // The statistics pass over a failed statement in silence; what was read so far stands.
    } catch (...) {
    }
    showCounts(statement.group, counts);
}

void TFrm_Total::Btn_RefeshClick() {
    RefreshGuard guard(Btn_Refesh, Sb);
    FormCreate();
}

void TFrm_Total::Button2Click() { close(); }
