#include "CheckProblem.h"

QString CheckProblem::kindName(Kind kind) {
    switch (kind) {
        case WrongCheck:
            return QStringLiteral("校验码错误");
        case ImpossibleDate:
            return QStringLiteral("出生日期不可能");
        case Fifteen:
            return QStringLiteral("15位旧号码");
        case SameResident:
            return QStringLiteral("同一居民重复登记");
        case NotAnId:
            return QStringLiteral("不是身份证号码");
        case OrphanRows:
            return QStringLiteral("答案行缺少基本信息");
        case UnknownCode:
            return QStringLiteral("无法识别的选项代码");
        case KindCount:
            break;
    }
    return QString();
}

int CheckResult::count(CheckProblem::Kind kind) const {
    int n = 0;
    for (const CheckProblem& p : problems) n += p.kind == kind ? 1 : 0;
    return n;
}
