#include "app/support/fake_window.h"

#include "store/common.h"

namespace kv7::test {

namespace {

template <typename T, size_t N>
T& at(std::array<T, N>& a, int index, int first, const char* what) {
    const int i = index - first;
    if (i < 0 || i >= static_cast<int>(N)) {
        throw SubscriptError(std::string(what) + "(" + std::to_string(index) + ") does not exist");
    }
    return a[static_cast<size_t>(i)];
}

}  // namespace

void FakeControlBase::Move(double l, double t, double w, double h) {
    left = l;
    top = t;
    width = w;
    height = h;
    ++moves;
}

void FakeControlBase::SetFocus() {
    ++focusCount;
    if (owner != nullptr) {
        owner->focused = name;
        ++owner->focusChanges;
    }
}

void FakeCheckBox::setValue(int16_t v) {
    if (v < 0 || v > 2) throw std::invalid_argument("check box value " + std::to_string(v));
    value = v;
}

void FakeListControl::Clear() {
    lines.clear();
    listIndex = -1;
}

void FakeListControl::setList(int16_t index, const std::string& text) {
    if (index < 0 || index >= ListCount()) {
        throw SubscriptError(name + " line " + std::to_string(index) + " does not exist");
    }
    lines[static_cast<size_t>(index)] = text;
}

std::string FakeListControl::List(int16_t index) const {
    if (index < 0 || index >= ListCount()) {
        throw SubscriptError(name + " line " + std::to_string(index) + " does not exist");
    }
    return lines[static_cast<size_t>(index)];
}

void FakeListControl::setListIndex(int16_t i) {
    if (i < -1 || i >= ListCount()) {
        throw SubscriptError(name + " cannot select line " + std::to_string(i));
    }
    listIndex = i;
}

FakeWindow::FakeWindow() {
    adopt(console, "lboConsole");
    for (size_t i = 0; i < buttons.size(); ++i)
        adopt(buttons[i], "cmd00(" + std::to_string(i) + ")");
    adopt(check1, "Check1");
    adopt(dispPara, "txtDispPara");
    for (size_t i = 0; i < readings.size(); ++i)
        adopt(readings[i], "lbo01(" + std::to_string(i) + ")");
    adopt(progress, "lblProgress");
    adopt(title, "lblTitle");
    adopt(comBusy, "lblComBusy");
    comBusy.Move(0, 0, 1800, 300);
    comBusy.moves = 0;
    for (size_t i = 0; i < frames.size(); ++i) adopt(frames[i], "fra01(" + std::to_string(i) + ")");
}

void FakeWindow::adopt(FakeControlBase& c, std::string name) {
    c.name = std::move(name);
    c.owner = this;
}

Button& FakeWindow::cmd00(int index) {
    return at(buttons, index, 0, "cmd00");
}
ListControl& FakeWindow::lbo01(int index) {
    return at(readings, index, 0, "lbo01");
}
Frame& FakeWindow::fra01(int index) {
    return at(frames, index, 0, "fra01");
}
Line& FakeWindow::linSepa(int index) {
    return at(separators, index, 0, "linSepa");
}

MenuItem& FakeWindow::mnuOptSelCom(int index) {
    if (index < 1)
        throw SubscriptError("mnuOptSelCom(" + std::to_string(index) + ") does not exist");
    return at(portMenu, index, 0, "mnuOptSelCom");
}

MenuItem& FakeWindow::mnuOptionSelAutoRelease(int index) {
    return at(releaseMenu, index, 0, "mnuOptionSelAutoRelease");
}

void FakeWindow::Move(double l, double t, double w, double h) {
    left = l;
    top = t;
    width = w;
    height = h;
}

void FakeWindow::Unload() {
    ++unloads;
    if (onUnload) onUnload();
}

std::vector<int> FakeWindow::checkedPorts() const {
    std::vector<int> out;
    for (int i = 1; i <= 4; ++i) {
        if (portMenu[static_cast<size_t>(i)].checked) out.push_back(i);
    }
    return out;
}

std::vector<int> FakeWindow::checkedReleases() const {
    std::vector<int> out;
    for (int i = 0; i <= 5; ++i) {
        if (releaseMenu[static_cast<size_t>(i)].checked) out.push_back(i);
    }
    return out;
}

}  // namespace kv7::test
