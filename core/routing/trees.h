#pragma once
// The candidate list shared by the tree builders of routing.
//
// The builders keep their candidates in a plain array held in ascending label
// order by local bubbling (sortsta2): after one append or one label decrease,
// the scan runs from the last entry toward the front, swaps each pair out of
// order and stops at the first ordered pair after a swap. Ties are never
// swapped, so that order decides which of two equal paths a tree takes.
//
// CandidateList gives exactly that order, faster. The seeds of a search go on
// the list unsorted; while pairs out of order remain, the list is that array
// and every update runs the scan as written (counting the pairs out of order,
// so the ordered tail is not walked each time). Once no pair is out of order
// it never becomes unsorted again: an entry then always lands behind every
// entry of a lower or equal label, so the front of the list is the entry of
// the lowest (label, time of its last append or decrease). From there on the
// list is a heap on that key (four children per entry), which takes the
// entries off in the same order at a logarithmic cost per update. The keys
// are unique, so that order does not depend on how the heap is kept.
#include "core/model/sim.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace velm::routing {

class CandidateList {
  public:
    // lab: labels by link number; nlinks: highest link number. The store is
    // sized here and not resized until the next reset.
    void reset(const float* lab, int nlinks, ListStore& st) {
        if (st_ != nullptr) clear_positions();
        lab_ = lab;
        st_ = &st;
        const auto cap = static_cast<std::size_t>(nlinks + 16);
        if (st.buf.size() < cap) st.buf.resize(cap);
        if (st.key.size() < cap) st.key.resize(cap);
        if (st.pos.size() < static_cast<std::size_t>(nlinks + 1))
            st.pos.resize(static_cast<std::size_t>(nlinks + 1), -1);
        buf_ = st.buf.data();
        key_ = st.key.data();
        pos_ = st.pos.data();
        link_bits_ = std::bit_width(static_cast<unsigned>(std::max(nlinks, 1)));
        link_mask_ = (std::uint64_t{1} << link_bits_) - 1;
        stamp_limit_ = link_bits_ >= 32 ? 1u : 1u << (32 - link_bits_);
        tail_ = 0;
        descents_ = 0;
        heap_ = false;
        stamp_ = 0;
    }
    bool empty() const { return tail_ == 0; }
    int  size() const { return tail_; }
    bool on(int l) const { return pos_[l] >= 0; }
    // The links on the list, front first (a copy, for checks).
    std::vector<int> order() const {
        std::vector<int> out;
        if (heap_) {
            std::vector<std::pair<std::uint64_t, int>> e;
            for (int i = 0; i < tail_; ++i) e.emplace_back(key_[i], link_of(key_[i]));
            std::sort(e.begin(), e.end());
            for (const auto& x : e) out.push_back(x.second);
        } else {
            for (int i = 0; i < tail_; ++i) out.push_back(buf_[i].link);
        }
        return out;
    }

    // Takes the first entry off.
    int pop_front() {
        if (heap_) [[likely]] {
            const int l = link_of(key_[0]);
            pos_[l] = -1;
            --tail_;
            if (tail_ > 0) sift_down(key_[tail_]);
            return l;
        }
        return pop_front_array();
    }
    // Puts l at the end (its label already set); sort(l) follows.
    void append(int l) {
        if (heap_) [[likely]] {
            const unsigned stamp = next_stamp();
            sift_up(tail_++, key(lab_[l], stamp, l));
            return;
        }
        append_array(l);
    }
    // Around a label decrease of an entry on the list: call before_change,
    // set the label, call after_change; sort(l) follows.
    void before_change(int l) {
        if (!heap_) [[unlikely]]
            pairs_at(pos_[l], -1);
    }
    void after_change(int l) {
        if (heap_) [[likely]] {
            const unsigned stamp = next_stamp(); // may renumber, which moves entries
            sift_up(pos_[l], key(lab_[l], stamp, l));
            return;
        }
        after_change_array(l);
    }

    // sortsta2 after the update of link l (appended or decreased).
    void sort(int l) {
        if (heap_ || size() <= 1 || descents_ == 0) [[likely]]
            return;
        sort_array(l);
    }

  private:
    // The plain array's side of the updates: the list before it is sorted.
    [[gnu::noinline]] int pop_front_array() {
        const int l = buf_[0].link;
        pos_[l] = -1;
        if (size() > 1 && out_of_order(1)) --descents_;
        // The others move up one place.
        for (int i = 1; i < tail_; ++i) put(i - 1, buf_[i]);
        --tail_;
        to_heap_when_sorted();
        return l;
    }
    [[gnu::noinline]] void append_array(int l) {
        put(tail_++, ListEntry{lab_[l], l, stamp_++});
        if (size() > 1 && out_of_order(tail_ - 1)) ++descents_;
    }
    [[gnu::noinline]] void after_change_array(int l) {
        const int p = pos_[l];
        buf_[p].label = lab_[l];
        buf_[p].stamp = stamp_++;
        pairs_at(p, +1);
    }
    [[gnu::noinline]] void sort_array(int l) {
        int i = pos_[l];
        if (!(descents_ == 1 && i > 0 && out_of_order(i))) {
            i = tail_ - 1;
            while (i > 0 && !out_of_order(i)) --i;
            if (i == 0) return;
        }
        while (i > 0 && out_of_order(i)) {
            swap_down(i);
            --i;
        }
        to_heap_when_sorted();
    }

    // The heap's order, the label then the time of the last append or
    // decrease, as one unsigned number: the label's bits turned so that
    // unsigned order is numeric order, then the stamp, then the link (which
    // never decides: stamps are unique).
    std::uint64_t key(float label, unsigned stamp, int l) const {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &label, sizeof bits);
        bits = (bits & 0x80000000u) != 0 ? ~bits : bits | 0x80000000u;
        return (static_cast<std::uint64_t>(bits) << 32) |
               (static_cast<std::uint64_t>(stamp) << link_bits_) | static_cast<std::uint64_t>(l);
    }
    int link_of(std::uint64_t k) const { return static_cast<int>(k & link_mask_); }
    // A stamp later than every one on the heap. When the stamps run out of
    // their bits, the entries are numbered again in heap order (a sorted
    // array is a heap), which keeps their order.
    unsigned next_stamp() {
        if (stamp_ >= stamp_limit_) [[unlikely]] {
            std::sort(key_, key_ + tail_);
            const std::uint64_t keep = ~((std::uint64_t{1} << 32) - 1);
            for (int i = 0; i < tail_; ++i) {
                const int l = link_of(key_[i]);
                key_[i] = (key_[i] & keep) | (static_cast<std::uint64_t>(i) << link_bits_) |
                          static_cast<std::uint64_t>(l);
                pos_[l] = i;
            }
            stamp_ = static_cast<unsigned>(tail_);
        }
        return stamp_++;
    }
    void clear_positions() {
        for (int i = 0; i < tail_; ++i) pos_[heap_ ? link_of(key_[i]) : buf_[i].link] = -1;
        tail_ = 0;
    }
    void put(int i, const ListEntry& e) {
        buf_[i] = e;
        pos_[e.link] = i;
    }
    // The pair (i-1, i) is out of order.
    bool out_of_order(int i) const { return buf_[i - 1].label > buf_[i].label; }
    // Adds (sign +1) or removes (-1) the count of the pairs around place p.
    void pairs_at(int p, int sign) {
        if (p > 0 && out_of_order(p)) descents_ += sign;
        if (p + 1 < tail_ && out_of_order(p + 1)) descents_ += sign;
    }
    // Swaps places i-1 and i.
    void swap_down(int i) {
        pairs_at(i - 1, -1);
        if (i + 1 < tail_ && out_of_order(i + 1)) --descents_;
        const ListEntry a = buf_[i - 1];
        put(i - 1, buf_[i]);
        put(i, a);
        pairs_at(i - 1, +1);
        if (i + 1 < tail_ && out_of_order(i + 1)) ++descents_;
    }
    // A sorted array whose ties stand in the order of their stamps is a heap:
    // the entries keep their places and are stamped by them.
    void to_heap_when_sorted() {
        if (descents_ != 0) return;
        for (int i = 0; i < tail_; ++i)
            key_[i] = key(buf_[i].label, static_cast<unsigned>(i), buf_[i].link);
        stamp_ = static_cast<unsigned>(tail_);
        heap_ = true;
    }
    // A heap of four children per entry: entry i has children 4i+1 .. 4i+4.
    // Places k at i or above it.
    void sift_up(int i, std::uint64_t k) {
        while (i > 0) {
            const int parent = (i - 1) / 4;
            if (k >= key_[parent]) break;
            key_[i] = key_[parent];
            pos_[link_of(key_[i])] = i;
            i = parent;
        }
        key_[i] = k;
        pos_[link_of(k)] = i;
    }
    // Places k, taken off the end, from the root down.
    void sift_down(std::uint64_t k) {
        int i = 0;
        for (;;) {
            const int first = 4 * i + 1;
            if (first >= tail_) break;
            int           c = first;
            std::uint64_t kc = key_[first];
            if (first + 4 <= tail_) {
                // All four children: pick the least without branches.
                const std::uint64_t k1 = key_[first + 1], k2 = key_[first + 2],
                                    k3 = key_[first + 3];
                const int           c01 = k1 < kc ? first + 1 : first;
                const std::uint64_t k01 = k1 < kc ? k1 : kc;
                const int           c23 = k3 < k2 ? first + 3 : first + 2;
                const std::uint64_t k23 = k3 < k2 ? k3 : k2;
                c = k23 < k01 ? c23 : c01;
                kc = k23 < k01 ? k23 : k01;
            } else {
                for (int j = first + 1; j < tail_; ++j) {
                    const std::uint64_t kj = key_[j];
                    c = kj < kc ? j : c;
                    kc = kj < kc ? kj : kc;
                }
            }
            if (kc >= k) break;
            key_[i] = kc;
            pos_[link_of(kc)] = i;
            i = c;
        }
        key_[i] = k;
        pos_[link_of(k)] = i;
    }

    const float*   lab_ = nullptr;
    ListStore*     st_ = nullptr;
    ListEntry*     buf_ = nullptr; // the plain array
    std::uint64_t* key_ = nullptr; // the heap
    int*           pos_ = nullptr;
    int            link_bits_ = 1; // low bits of a key that hold the link
    std::uint64_t  link_mask_ = 1;
    unsigned       stamp_limit_ = 1; // stamps fit below this
    int            tail_ = 0;        // entries on the list
    int            descents_ = 0;    // pairs (i-1, i) with the larger label first
    bool           heap_ = false;
    unsigned       stamp_ = 0;
};

} // namespace velm::routing
