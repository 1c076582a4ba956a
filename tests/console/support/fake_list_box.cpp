#include "console/support/fake_list_box.h"

#include "store/common.h"

namespace kv7::test {

void FakeListBox::Clear() {
    lines.clear();
    redrawCount.clear();
}

void FakeListBox::AddItem(const std::string& text) {
    lines.push_back(text);
    redrawCount.push_back(0);
}

void FakeListBox::setList(int16_t index, const std::string& text) {
    if (index < 0 || index >= ListCount()) throw SubscriptError("no such line");
    lines[static_cast<size_t>(index)] = text;
    ++redrawCount[static_cast<size_t>(index)];
}

std::string FakeListBox::List(int16_t index) const {
    if (index < 0 || index >= ListCount()) throw SubscriptError("no such line");
    return lines[static_cast<size_t>(index)];
}

int FakeListBox::redraws(int16_t index) const {
    return redrawCount.at(static_cast<size_t>(index));
}

void FakeListBox::resetRedraws() {
    for (int& n : redrawCount) n = 0;
}

}  // namespace kv7::test
