#include "QuestionnairePages.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QVBoxLayout>
#include <limits>

#include "gui/forms/IdNumberValidator.h"

using namespace catalogue;

namespace {

const QColor kNavy(0, 0, 128);

QFont songFont() {
    QFont f(QStringLiteral("宋体"));
    f.setPixelSize(12);
    return f;
}

QLabel* navyLabel(const QString& text, const QFont& font, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, kNavy);
    label->setPalette(p);
    return label;
}

QLabel* questionLabel(const QString& text, QWidget* parent) {
    QFont f(QStringLiteral("楷体_GB2312"));
    f.setPixelSize(19);
    return navyLabel(text, f, parent);
}

// Only the identity number has a length limit; Qt's default of 32767 would cut long texts.
QLineEdit* unlimitedEdit(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setMaxLength(std::numeric_limits<int>::max());
    return edit;
}

}  // namespace

QuestionnairePages::QuestionnairePages(FormKind form, QWidget* parent) : QTabWidget(parent), m_form(form) {
    setObjectName(QStringLiteral("PageControl1"));
    setFont(songFont());
    // Fourteen tabs must fit the narrowest form without scrolling.
    tabBar()->setStyleSheet(QStringLiteral(
        "QTabBar::tab { padding: 3px 5px; min-width: 30px; border: 1px solid #9a9a9a; border-bottom: none;"
        " border-top-left-radius: 3px; border-top-right-radius: 3px; background: #e6e6e6; margin-right: "
        "-1px; }"
        "QTabBar::tab:selected { background: #fafafa; }"
        "QTabBar::tab:!selected { margin-top: 2px; }"));
    setUsesScrollButtons(true);
    const auto& defs = pages();
    for (int i = 0; i < int(defs.size()); ++i) {
        auto* page = new QWidget;
        page->setObjectName(qs(defs[i].sheet[int(form)]));
        if (i == 0)
            buildPageOne(page);
        else
            buildChoicePage(page, i);
        addTab(page, qs(defs[i].caption));
    }
    // Tab order inside each page, chained in the catalogue's order.
    for (int i = 0; i < count(); ++i) {
        const auto order = tabOrder(i);
        for (int k = 1; k < order.size(); ++k) QWidget::setTabOrder(order[k - 1], order[k]);
    }
    setCurrentIndex(0);
    connect(qApp, &QApplication::focusChanged, this, &QuestionnairePages::onFocusChanged);
}

// The base destructor moves the focus away; no focus signal may reach this half-destroyed object.
QuestionnairePages::~QuestionnairePages() { disconnect(qApp, nullptr, this, nullptr); }

void QuestionnairePages::buildPageOne(QWidget* page) {
    auto* outer = new QVBoxLayout(page);
    outer->setContentsMargins(12, 8, 12, 8);
    outer->setSpacing(6);

    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(6);
    fields->setVerticalSpacing(6);
    int row = 0;
    auto makeEdit = [&](const BasicField& f) {
        auto* edit = unlimitedEdit(page);
        edit->setObjectName(qs(f.name));
        QPalette p = edit->palette();
        p.setColor(QPalette::Text, Qt::black);
        edit->setPalette(p);
        m_controls.insert(edit->objectName(), edit);
        return edit;
    };
    if (m_form == FormKind::New) {
        m_idEdit = makeEdit(idField());
        m_idEdit->setMaxLength(IdNumberValidator::kMaxLength);
        m_idEdit->setValidator(new IdNumberValidator(m_idEdit));
        fields->addWidget(navyLabel(qs(idField().label), songFont(), page), row, 0);
        fields->addWidget(m_idEdit, row, 1);
        ++row;
    }
    const auto& basics = basicFields();
    for (int i = 0; i < int(basics.size()); ++i) {
        const int r = row + i / 2;
        const int c = (i % 2) * 2;
        fields->addWidget(navyLabel(qs(basics[i].label), songFont(), page), r, c);
        fields->addWidget(makeEdit(basics[i]), r, c + 1);
    }
    fields->setColumnStretch(1, 1);
    fields->setColumnStretch(3, 1);
    outer->addLayout(fields);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);
    row = 0;
    for (const Group* g : groupsOnPage(0)) {
        grid->addWidget(navyLabel(qs(g->label), songFont(), page), row, 0, Qt::AlignLeft | Qt::AlignVCenter);
        int box = 0;
        for (int rowLen : g->rows) {
            const bool endsWithOther = g->hasOther() && box + rowLen == int(g->boxes.size());
            // A full row that ends with its other text box gets a row of its own, so the text
            // box can take the width the aligned columns leave over.
            QHBoxLayout* own = nullptr;
            if (endsWithOther && rowLen >= 5) {
                own = new QHBoxLayout;
                own->setSpacing(8);
                grid->addLayout(own, row, 1, 1, 8);
            }
            for (int col = 0; col < rowLen; ++col, ++box) {
                auto* cb = new QCheckBox(qs(g->boxes[box].caption), page);
                cb->setObjectName(qs(g->boxes[box].name));
                m_controls.insert(cb->objectName(), cb);
                if (own)
                    own->addWidget(cb);
                else
                    grid->addWidget(cb, row, col + 1);
                if (box == int(g->boxes.size()) - 1 && g->hasOther()) {
                    auto* edit = unlimitedEdit(page);
                    edit->setObjectName(qs(g->otherEdit));
                    m_controls.insert(edit->objectName(), edit);
                    if (own)
                        own->addWidget(edit, 1);
                    else
                        grid->addWidget(edit, row, col + 2, 1, 9 - (col + 2));
                }
            }
            ++row;
        }
    }
    grid->setColumnStretch(8, 1);
    outer->addLayout(grid);
    outer->addStretch(1);
}

void QuestionnairePages::buildChoicePage(QWidget* page, int index) {
    auto* outer = new QVBoxLayout(page);
    outer->setContentsMargins(12, 8, 12, 8);
    outer->setSpacing(10);
    const auto groupsHere = groupsOnPage(index);
    const Group* g = groupsHere.front();
    outer->addWidget(questionLabel(qs(g->label), page));

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);
    int box = 0;
    int row = 0;
    int widest = 0;
    for (int len : g->rows) widest = std::max(widest, len);
    for (int rowLen : g->rows) {
        for (int col = 0; col < rowLen; ++col, ++box) {
            auto* cb = new QCheckBox(qs(g->boxes[box].caption), page);
            cb->setObjectName(qs(g->boxes[box].name));
            m_controls.insert(cb->objectName(), cb);
            grid->addWidget(cb, row, col);
            if (box == int(g->boxes.size()) - 1 && g->hasOther()) {
                auto* edit = unlimitedEdit(page);
                edit->setObjectName(qs(g->otherEdit));
                edit->setMinimumWidth(200);
                m_controls.insert(edit->objectName(), edit);
                grid->addWidget(edit, row, col + 1, 1, std::max(1, widest - col - 1));
            }
        }
        ++row;
    }
    grid->setColumnStretch(widest + 1, 1);
    auto* holder = new QHBoxLayout;
    holder->addSpacing(16);
    holder->addLayout(grid, 1);
    outer->addLayout(holder);
    outer->addStretch(1);
}

QCheckBox* QuestionnairePages::box(GroupId g, int index) const {
    return qobject_cast<QCheckBox*>(m_controls.value(qs(group(g).boxes.at(index).name)));
}

QLineEdit* QuestionnairePages::otherEdit(GroupId g) const {
    const Group& def = group(g);
    return def.hasOther() ? qobject_cast<QLineEdit*>(m_controls.value(qs(def.otherEdit))) : nullptr;
}

QLineEdit* QuestionnairePages::basicEdit(int index) const {
    return qobject_cast<QLineEdit*>(m_controls.value(qs(basicFields().at(index).name)));
}

int QuestionnairePages::pageOf(const QWidget* w) const {
    for (int i = 0; i < count(); ++i) {
        QWidget* p = widget(i);
        if (w && (w == p || p->isAncestorOf(w))) return i;
    }
    return -1;
}

QList<QWidget*> QuestionnairePages::tabOrder(int page) const {
    QList<QWidget*> out;
    for (const QString& name : pageTabOrder(page, m_form))
        if (QWidget* w = m_controls.value(name)) out << w;
    return out;
}

Answers QuestionnairePages::answers() const {
    Answers a;
    if (m_idEdit) a.id = m_idEdit->text();
    for (int i = 0; i < 4; ++i) a.basic(i) = basicEdit(i)->text();
    for (const auto& g : groups()) {
        for (int b = 0; b < int(g.boxes.size()); ++b) a[g.id].ticked[b] = box(g.id, b)->isChecked();
        if (auto* e = otherEdit(g.id)) a[g.id].otherText = e->text();
    }
    return a;
}

void QuestionnairePages::load(const Answers& a) {
    for (int i = 0; i < 4; ++i)
        if (!a.basic(i).isEmpty()) basicEdit(i)->setText(a.basic(i));
    for (const auto& g : groups()) {
        for (int b = 0; b < int(g.boxes.size()); ++b)
            if (a[g.id].ticked.value(b)) box(g.id, b)->setChecked(true);
        if (auto* e = otherEdit(g.id); e && !a[g.id].otherText.isEmpty()) e->setText(a[g.id].otherText);
    }
}

void QuestionnairePages::clearAnswers() {
    for (QWidget* w : std::as_const(m_controls)) {
        if (w == m_idEdit) continue;
        if (auto* cb = qobject_cast<QCheckBox*>(w))
            cb->setChecked(false);
        else if (auto* e = qobject_cast<QLineEdit*>(w))
            e->clear();
    }
}

void QuestionnairePages::setHintsEnabled(bool on) { m_hints = on; }

void QuestionnairePages::onFocusChanged(QWidget* old, QWidget* now) {
    if (!m_hints || !now) return;
    const int page = pageOf(now);
    if (page >= 0 && pageOf(old) != page) emit pageEntered(page);
}
