#pragma once
#include <QFont>
#include <QString>

namespace kv7::report {

// The service report is drawn at 300 dots per inch; lengths are given in millimetres.
constexpr int kDpi = 300;

inline double mm(double v) {
    return v * kDpi / 25.4;
}

inline QFont font(bool mono, double pt, bool bold) {
    QFont f(mono ? QStringLiteral("DejaVu Sans Mono") : QStringLiteral("DejaVu Sans"));
    f.setStyleHint(mono ? QFont::TypeWriter : QFont::SansSerif);
    f.setPointSizeF(pt);
    f.setBold(bold);
    return f;
}

inline QFont sansFont(double pt, bool bold = false) {
    return font(false, pt, bold);
}

inline QFont monoFont(double pt, bool bold = false) {
    return font(true, pt, bold);
}

}  // namespace kv7::report
