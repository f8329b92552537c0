#include "app/port_list_model.h"

#include <utility>

const char16_t g_refreshEntryText[] = u"Refresh...";

namespace {

// The port among ports whose name text shows: the exact name first, since
// two devices may be named apart by case alone; -1 when none.
int FindPort(const std::vector<PresentPort>& ports, const std::u16string& text) {
    int ignoringCase = -1;
    for (size_t i = 0; i < ports.size(); ++i) {
        if (ports[i].name == text)
            return static_cast<int>(i);
        if (ignoringCase < 0 && SamePortName(ports[i].name, text))
            ignoringCase = static_cast<int>(i);
    }
    return ignoringCase;
}

std::u16string Describe(const PresentPort& port) {
    if (port.friendlyName.empty())
        return port.name + u": Windows records no name for the device behind this port";
    return port.maker.empty() ? port.friendlyName : port.friendlyName + u", made by " + port.maker;
}

}  // namespace

void PortListModel::Refill(std::vector<PresentPort> ports) {
    const bool showedAPort = ChosenIndex() >= 0;
    ports_ = std::move(ports);
    entries_.clear();
    for (const PresentPort& port : ports_)
        entries_.push_back(port.name);
    entries_.push_back(g_refreshEntryText);
    refillWhenClosed_ = false;

    const int kept = field_ == g_refreshEntryText ? -1 : FindPort(ports_, field_);
    if (kept >= 0)
        field_ = ports_[static_cast<size_t>(kept)].name;
    else if (field_.empty() || field_ == g_refreshEntryText || showedAPort)
        field_ = entries_.front();  // the first port, or "Refresh..." alone
    // Otherwise the field keeps what the user typed, and chooses nothing.
}

bool PortListModel::Picked(const std::u16string& entry) {
    field_ = entry;
    return entry == g_refreshEntryText;
}

void PortListModel::FieldShows(const std::u16string& text) { field_ = text; }

bool PortListModel::DevicesChanged(bool listOpen) {
    if (listOpen) {
        refillWhenClosed_ = true;
        return false;
    }
    return true;
}

bool PortListModel::ListClosed() { return std::exchange(refillWhenClosed_, false); }

int PortListModel::Selected() const {
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i] == field_)
            return static_cast<int>(i);
    }
    return -1;
}

int PortListModel::ChosenIndex() const { return field_ == g_refreshEntryText ? -1 : FindPort(ports_, field_); }

std::u16string PortListModel::Chosen() const {
    const int index = ChosenIndex();
    return index < 0 ? std::u16string() : ports_[static_cast<size_t>(index)].name;
}

std::u16string PortListModel::Tip() const {
    if (field_ == g_refreshEntryText)
        return u"Reads the COM ports present again";
    const int index = ChosenIndex();
    return index < 0 ? u"Choose the controller's COM port" : Describe(ports_[static_cast<size_t>(index)]);
}
