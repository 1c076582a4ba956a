#pragma once
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <array>
#include <string>
#include <vector>

#include "align/align_targets.h"

class QAction;

namespace kv7 {

class Program;
class QtMainWindow;

// The "Align" menu after "Option": one entry per point Align.ini offers and "All points" (the
// offered ones in order), enabled while the radio and the test set are connected and no run
// goes on. A disabled entry says why in its tip; a refused Align.ini shows its fault as an
// entry of its own. Each entry starts the run through the event boundary.
class QtAlignMenu : public QObject {
  public:
    QtAlignMenu(QtMainWindow& window, Program& program);
    ~QtAlignMenu() override;

    // Shows, enables and explains the entries as things stand now.
    void refresh();
    // Starts the points as the menu does; false when the run did not start (a message said why).
    bool start(const std::vector<AlignPoint>& points);
    // The offered points, in the order "All points" runs them.
    std::vector<AlignPoint> offeredPoints() const;

    QMenu* menu() const { return menu_; }
    QAction* pointAction(AlignPoint p) const { return points_[static_cast<size_t>(p)]; }
    QAction* allAction() const { return all_; }
    // The disabled entry that says why nothing is offered (no Align.ini, or its fault).
    QAction* noticeAction() const { return notice_; }

  private:
    // Why an entry cannot be used now; empty when it can.
    std::string whyNot() const;

    Program& program_;
    QPointer<QMenu> menu_;
    std::array<QAction*, kAlignPoints.size()> points_{};
    QAction* all_ = nullptr;
    QAction* notice_ = nullptr;
};

}  // namespace kv7
