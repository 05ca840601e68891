#pragma once

#include <QList>
#include <QTabBar>
#include <QtTest>

#include "gui/forms/QuestionnairePages.h"

/// What the New and Query forms' status bar shows when the focus enters each of the fourteen
/// pages: the title (panel 0) and the instruction (panel 1), page one first.
struct ExpectedHint {
    QString title;
    QString text;
};

inline QList<ExpectedHint> expectedPageHints() {
    const QString tick = QStringLiteral("请在复选框前打勾！");
    const QString other = QStringLiteral("请在复选框前打勾,如选择其他,请输入其他内容！");
    return {
        {QStringLiteral("基本信息"), QStringLiteral("请填写每一项 内容！")},
        {QStringLiteral("专业及特长"), other},
        {QStringLiteral("业余爱好"), other},
        {QStringLiteral("文体活动团队"), other},
        {QStringLiteral("开展服务"), other},
        {QStringLiteral("培训或讲座"), other},
        {QStringLiteral("是否愿意参加"), tick},
        {QStringLiteral("为何愿意参加？"), other},
        {QStringLiteral("为哪种类型的居民提供服务？"), other},
        {QStringLiteral("参加何种类型的活动？"), other},
        {QStringLiteral("社区活动时间安排"), tick},
        {QStringLiteral("社区活动应该加强"), other},
        {QStringLiteral("依靠哪类居民参与？"), other},
        {QStringLiteral("渠道"), other},
    };
}

/// Moves the focus into a page as a user does: clicks its tab, then its first control.
inline void enterPage(QuestionnairePages* pages, int page) {
    QTabBar* bar = pages->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(page).center());
    QWidget* first = pages->tabOrder(page).first();
    QTest::mouseClick(first, Qt::LeftButton, {}, QPoint(6, first->height() / 2));
}
