// The port list's behaviour, with no Win32: its entries, the text its field
// shows, the port that text chooses, what happens to both when the ports
// present are read again, and what its tool tip says. Every rule is one
// event on a state, so the dialog hands each notification of the combo box
// here and then puts the outcome on the control (app/port_list.cpp).
//
// One rule decides the chosen port everywhere: it is the listed port whose
// name the field shows (case aside), or none. Connect opens it, the tool tip
// names it, and a refill keeps it.
#pragma once

#include <string>
#include <vector>

#include "serial/port_names.h"

// Item data that marks the "Refresh..." entry of the list.
constexpr unsigned long REFRESH_ITEM_DATA = 1;
// The text of the last entry, which reads the ports present again.
extern const char16_t g_refreshEntryText[];

class PortListModel {
public:
    // --- Events
    // The ports present were read again (at start, when "Refresh..." was
    // chosen, when devices came or went): the entries become their names,
    // in the order given, then "Refresh...". The field keeps a port that is
    // still listed and text typed over the list; otherwise it shows the
    // first port, or "Refresh..." when there is none.
    void Refill(std::vector<PresentPort> ports);
    // The user picked this entry, with a key or the pointer. True when it is
    // "Refresh...": the ports present are to be read again (Refill).
    bool Picked(const std::u16string& entry);
    // The field shows this text now: typed, pasted, or put there by the list.
    void FieldShows(const std::u16string& text);
    // Windows reported devices coming or going. listOpen: the list is
    // dropped down under the user's pointer, where a refill would move the
    // entry about to be clicked. True when the ports are to be read now;
    // otherwise ListClosed() says so once the list closes.
    bool DevicesChanged(bool listOpen);
    // The list closed: true when a refill waited for it.
    bool ListClosed();

    // --- State
    // Port names in the order given, then "Refresh...".
    const std::vector<std::u16string>& Entries() const { return entries_; }
    const std::u16string& Field() const { return field_; }
    // The entry whose text the field shows exactly, which the list selects;
    // -1 while the field shows text typed over the list.
    int Selected() const;
    // The port Connect opens: the listed port name the field shows, whatever
    // the case; empty when the field names no listed port.
    std::u16string Chosen() const;
    // The tool tip's text for what the field shows.
    std::u16string Tip() const;

private:
    // Index into ports_ of the port the field shows, or -1.
    int ChosenIndex() const;

    std::vector<PresentPort> ports_;
    std::vector<std::u16string> entries_{g_refreshEntryText};
    std::u16string field_;
    bool refillWhenClosed_ = false;
};
