#include "wavetable/AbcString.h"

namespace norv {

namespace {

std::string ToUpperAscii(std::string_view key) {
    std::string upper(key);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

}  // namespace

int TAbcStringlist::Search(const std::string& key, bool& found) const {
    found = false;
    int low = 0;
    int high = Count() - 1;
    for (;;) {
        const int middle = low + (high - low + 1) / 2;
        // high < low also ends here: middle is then the insertion point, and
        // it equals Count() exactly when the key belongs at the end.
        if (middle == Count() || high < low) return middle;
        // std::string compares bytes as unsigned: the ordinal order.
        const int order = key.compare(items_[static_cast<size_t>(middle)]);
        if (order == 0) {
            found = true;
            return middle;
        }
        if (order < 0)
            high = middle - 1;
        else
            low = middle + 1;
    }
}

int TAbcStringlist::Add(std::string_view key) {
    if (key.empty()) return -1;
    std::string stored = ToUpperAscii(key);
    bool found;
    const int index = Search(stored, found);
    if (found) {
        if (Duplicates == TDuplicates::Ignore) return -1;
        if (Duplicates == TDuplicates::Error)
            throw EStringListError("An attempt was made to add a duplicate item to the list");
    }
    items_.insert(items_.begin() + index, std::move(stored));
    return index;
}

int TAbcStringlist::Find(std::string_view key) const {
    if (key.empty()) return -1;
    bool found;
    const int index = Search(ToUpperAscii(key), found);
    return found ? index : -1;
}

}  // namespace norv
