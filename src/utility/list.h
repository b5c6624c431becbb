// List<T>: the engine's growable, unsorted array. Capacity starts at 16 on the
// first Add and doubles; Reserve allocates exactly what is asked, so Compact
// and SetSize can shrink the block. Broken preconditions are fatal.
#ifndef ZENDAR_UTILITY_LIST_H
#define ZENDAR_UTILITY_LIST_H

#include <new>

#include "utility/zassert.h"

// The assertion messages are the expressions as written, spaces and all:
// the formatter must not touch them.
// clang-format off
template <class T>
class List {
public:
    T* element = nullptr;
    int size = 0;
    int array_size = 0;

    explicit List(int initial_capacity = 0) {
        if (initial_capacity != 0) Reserve(initial_capacity);
    }
    ~List() {
        delete[] element;
        element = nullptr;
        size = 0;
        array_size = 0;
    }
    List(const List& other) { CopyFrom(other); }
    List& operator=(const List& other) {
        if (this != &other) {
            delete[] element;
            element = nullptr;
            size = 0;
            array_size = 0;
            CopyFrom(other);
        }
        return *this;
    }
    List(List&& other) noexcept : element(other.element), size(other.size), array_size(other.array_size) {
        other.element = nullptr;
        other.size = 0;
        other.array_size = 0;
    }
    List& operator=(List&& other) noexcept {
        if (this != &other) {
            delete[] element;
            element = other.element;
            size = other.size;
            array_size = other.array_size;
            other.element = nullptr;
            other.size = 0;
            other.array_size = 0;
        }
        return *this;
    }

    void Reserve(int s) {
        Z1_ASSERT(s>0);
        Z1_ASSERT(s>=size);
        T* old = element;
        element = new (std::nothrow) T[s];
        Z1_ASSERT(element);
        for (int i = 0; i < size; ++i) element[i] = old[i];
        delete[] old;
        array_size = s;
    }

    void SetSize(int n) {
        if (n == 0) {
            delete[] element;
            element = nullptr;
            size = 0;
            array_size = 0;
            return;
        }
        Reserve(n);
        size = n;
    }

    void Compact() { Reserve(size); }

    void Add(const T& x) {
        Z1_ASSERT(size<=array_size);
        if (size == array_size) {
            // x may live inside the block that is about to move.
            T copy = x;
            Reserve(array_size == 0 ? 16 : array_size * 2);
            element[size++] = copy;
            return;
        }
        element[size++] = x;
    }

    int Count(const T& x) const {
        int n = 0;
        for (int i = 0; i < size; ++i)
            if (element[i] == x) ++n;
        return n;
    }

    void AddUnique(const T& x) {
        if (Count(x) == 0) Add(x);
    }

    void RemoveAt(int i) {
        Z1_ASSERT(i<size);
        --size;
        for (int k = i; k < size; ++k) element[k] = element[k + 1];
    }

    // Removing an element that is not in the list is a caller error (fails "i<size").
    void Remove(const T& x) {
        int i = 0;
        while (i < size && !(element[i] == x)) ++i;
        RemoveAt(i);
    }

    int IndexOf(const T& x) const {
        for (int i = 0; i < size; ++i)
            if (element[i] == x) return i;
        return -1;
    }

    T& operator[](int i) {
        Z1_ASSERT(i>=0 && i<size);
        return element[i];
    }
    const T& operator[](int i) const {
        Z1_ASSERT(i>=0 && i<size);
        return element[i];
    }

    int Size() const { return size; }

    // Range-for support.
    T* begin() { return element; }
    T* end() { return element + size; }
    const T* begin() const { return element; }
    const T* end() const { return element + size; }

private:
    void CopyFrom(const List& other) {
        if (other.array_size > 0) {
            Reserve(other.array_size);
            for (int i = 0; i < other.size; ++i) element[i] = other.element[i];
            size = other.size;
        }
    }
};
// clang-format on

#endif
