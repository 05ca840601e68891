#pragma once

#include <QChar>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QStringView>

/// What the national standard for citizen identity numbers says about one number as stored.
///
/// 18 characters: 17 digits, then a check character (ISO 7064 MOD 11-2; an x counts as X);
/// characters 7–14 are the birth date, a real day from 1900 up to today. 15 digits: the older
/// form, characters 7–12 a date of the 1900s; its 18-digit form inserts "19" before the year
/// and appends the check character. Anything else is not an identity number. Pure and cheap:
/// no allocation for an 18-character number that is right.
struct IdentityNumber {
    enum Verdict {
        Valid,           ///< an 18-character number that is right
        WrongCheck,      ///< 18 characters, real date, wrong check character
        ImpossibleDate,  ///< 18 or 15 digits whose birth date cannot be
        Fifteen,         ///< the older 15-digit form with a real date
        NotAnId,         ///< another length, letters, an X not in last place
    };

    Verdict verdict = NotAnId;
    /// The check character that would be right (WrongCheck and Valid; for Fifteen the one its
    /// 18-digit form gets). Null otherwise.
    QChar expectedCheck;
    /// The number in its 18-character form with an upper-case X: the number itself when it has
    /// 18 characters of the right shape, the converted form of 15 digits (whatever their date).
    /// Filled only when `fill18` was asked for; empty for NotAnId.
    QString eighteen;

    /// Judges `text` exactly as given (no trimming). `today` bounds the birth date.
    static IdentityNumber judge(QStringView text, QDate today, bool fill18 = false);
    /// The check character of 17 digits (precondition: exactly 17 ASCII digits).
    static QChar checkCharacter(QStringView first17);
    /// The 18-digit form of 15 digits (precondition: exactly 15 ASCII digits).
    static QString toEighteen(QStringView fifteen);

    /// The one notion of "the same resident": two stored numbers belong to the same resident
    /// exactly when their keys are equal. The key is the number trimmed (characters of code 32
    /// or less at either end), a last x as X, and 15 digits as their 18-digit form.
    static QString residentKey(QStringView stored);
    /// The spellings under which a typed number may be stored, in the order a lookup tries
    /// them: the trimmed text as typed, then, when it ends in x or X, the other case of that
    /// letter. Never a 15/18-digit counterpart: a lookup finds only its own number.
    static QStringList spellings(QStringView typed);
};
