#include "platform/qt/qt_align_menu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "app/program.h"
#include "platform/qt/qt_main_window.h"

namespace kv7 {

namespace {

void explain(QAction* a, const std::string& why) {
    const QString text = QString::fromStdString(why);
    a->setToolTip(text.isEmpty() ? a->text() : text);
    a->setStatusTip(text);
}

}  // namespace

QtAlignMenu::QtAlignMenu(QtMainWindow& window, Program& program) : program_(program) {
    QMenuBar* bar = window.menuBar();
    menu_ = new QMenu(QStringLiteral("&Align"), bar);
    menu_->setToolTipsVisible(true);
    // Right after "Option", whatever other menus follow it.
    const QList<QAction*> menus = bar->actions();
    const qsizetype option = menus.indexOf(window.optionMenu()->menuAction());
    if (option >= 0 && option + 1 < menus.size()) {
        bar->insertMenu(menus[option + 1], menu_);
    } else {
        bar->addMenu(menu_);
    }
    for (AlignPoint p : kAlignPoints) {
        QAction* a = menu_->addAction(QString::fromLatin1(AlignPointName(p)));
        connect(a, &QAction::triggered, this, [this, p] { start({p}); });
        points_[static_cast<size_t>(p)] = a;
    }
    menu_->addSeparator();
    all_ = menu_->addAction(QStringLiteral("All &points"));
    connect(all_, &QAction::triggered, this, [this] { start(offeredPoints()); });
    notice_ = menu_->addAction(QString());
    notice_->setEnabled(false);
    connect(menu_, &QMenu::aboutToShow, this, [this] { refresh(); });
    refresh();
}

QtAlignMenu::~QtAlignMenu() {
    delete menu_.data();
}

std::vector<AlignPoint> QtAlignMenu::offeredPoints() const {
    std::vector<AlignPoint> out;
    for (AlignPoint p : kAlignPoints) {
        if (program_.align().run().offered(p)) out.push_back(p);
    }
    return out;
}

std::string QtAlignMenu::whyNot() const {
    AlignStation& station = program_.align();
    if (station.run().running()) return "An alignment is running: Esc cancels it.";
    return station.run().whyNot();
}

void QtAlignMenu::refresh() {
    AlignStation& station = program_.align();
    const std::vector<AlignPoint> offered = offeredPoints();
    const std::string why = whyNot();
    for (AlignPoint p : kAlignPoints) {
        QAction* a = pointAction(p);
        a->setVisible(station.run().offered(p));
        a->setEnabled(why.empty());
        explain(a, why);
    }
    all_->setVisible(!offered.empty());
    all_->setEnabled(why.empty());
    explain(all_, why);

    std::string notice;
    if (!station.fault().empty()) {
        notice = "Align.ini not used: " + station.fault();
    } else if (offered.empty()) {
        notice = "Nothing to align: " + station.path() + " is missing or names no point.";
    }
    notice_->setText(QString::fromStdString(notice));
    notice_->setVisible(!notice.empty());
    explain(notice_, notice);
}

bool QtAlignMenu::start(const std::vector<AlignPoint>& points) {
    std::string what = "Align > ";
    what += points.size() == 1 ? AlignPointName(points.front()) : "All points";
    bool started = false;
    program_.event(what, [&] { started = program_.align().run().start(points); });
    return started;
}

}  // namespace kv7
