#pragma once
// Reading exported files back with independent readers: Python (openpyxl, csv, pandas) through
// readback.py, and libreadstat's own parser for SPSS files.

#include <readstat.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QVariant>
#include <QtTest>

namespace readback {

inline QJsonObject python(const QString& format, const QString& path) {
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral(QUENVALE_SOURCE_DIR "/tests/exchange/readback.py"), format, path});
    if (!p.waitForFinished(120000) || p.exitCode() != 0) {
        qWarning("readback.py failed: %s", p.readAllStandardError().constData());
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

/// An SPSS file as libreadstat's parser sees it.
struct SavFile {
    QStringList names;
    QStringList labels;
    QStringList labelSets;                          // per variable ("" when none)
    QMap<QString, QMap<int, QString>> valueLabels;  // set -> value -> label
    QList<QList<QVariant>> rows;                    // double or QString; invalid for a missing number
    bool ok = false;

    int column(const QString& name) const { return names.indexOf(name); }
};

inline SavFile sav(const QString& path) {
    SavFile f;
    readstat_parser_t* p = readstat_parser_init();
    readstat_set_variable_handler(p, [](int, readstat_variable_t* v, const char* set, void* ctx) {
        auto* f = static_cast<SavFile*>(ctx);
        f->names << QString::fromUtf8(readstat_variable_get_name(v));
        const char* label = readstat_variable_get_label(v);
        f->labels << QString::fromUtf8(label ? label : "");
        f->labelSets << QString::fromUtf8(set ? set : "");
        return int(READSTAT_HANDLER_OK);
    });
    readstat_set_value_label_handler(p, [](const char* set, readstat_value_t value, const char* label,
                                           void* ctx) {
        auto* f = static_cast<SavFile*>(ctx);
        f->valueLabels[QString::fromUtf8(set)][int(readstat_double_value(value))] = QString::fromUtf8(label);
        return int(READSTAT_HANDLER_OK);
    });
    readstat_set_value_handler(p, [](int obs, readstat_variable_t* v, readstat_value_t value, void* ctx) {
        auto* f = static_cast<SavFile*>(ctx);
        while (f->rows.size() <= obs) f->rows.append(QList<QVariant>());
        QVariant out;
        if (readstat_value_type(value) == READSTAT_TYPE_STRING) {
            const char* s = readstat_string_value(value);
            out = QString::fromUtf8(s ? s : "");
        } else if (!readstat_value_is_system_missing(value)) {
            out = readstat_double_value(value);
        }
        f->rows[obs].append(out);
        (void)v;
        return int(READSTAT_HANDLER_OK);
    });
    f.ok = readstat_parse_sav(p, QFile::encodeName(path).constData(), &f) == READSTAT_OK;
    readstat_parser_free(p);
    return f;
}

}  // namespace readback
