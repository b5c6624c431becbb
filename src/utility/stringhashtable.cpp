#include "utility/stringhashtable.h"

#include <cstdint>
#include <cstring>

namespace {
char* CopyKey(const char* key) {
    if (!key) return nullptr;
    size_t n = std::strlen(key);
    char* copy = new char[n + 1];
    std::memcpy(copy, key, n + 1);
    return copy;
}
}  // namespace

StringHashTable::StringHashTable() : buckets(new Entry*[kBuckets]) {
    for (int i = 0; i < kBuckets; ++i) buckets[i] = nullptr;
}

StringHashTable::~StringHashTable() {
    for (int i = 0; i < kBuckets; ++i) {
        Entry* e = buckets[i];
        while (e) {
            Entry* next = e->next;
            delete[] e->name;
            delete e;
            e = next;
        }
    }
    delete[] buckets;
}

unsigned int StringHashTable::Hash(const char* key) {
    if (!key) return 0;
    uint32_t h = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(key); *p; ++p) h = *p + 2u * h;
    return h % kBuckets;
}

void StringHashTable::Insert(const char* key, void* value) {
    unsigned int b = Hash(key);
    buckets[b] = new Entry{CopyKey(key), value, buckets[b]};
}

void* StringHashTable::Find(const char* key) const {
    if (!key) return nullptr;
    for (Entry* e = buckets[Hash(key)]; e; e = e->next)
        if (e->name && std::strcmp(e->name, key) == 0) return e->value;
    return nullptr;
}

void* StringHashTable::Remove(const char* key) {
    if (!key) return nullptr;
    Entry** link = &buckets[Hash(key)];
    for (Entry* e = *link; e; link = &e->next, e = e->next) {
        if (e->name && std::strcmp(e->name, key) == 0) {
            *link = e->next;
            void* value = e->value;
            delete[] e->name;
            delete e;
            return value;
        }
    }
    return nullptr;
}

void* StringHashTable::Remove(const char* key, void* value) {
    Entry** link = &buckets[Hash(key)];
    for (Entry* e = *link; e; link = &e->next, e = e->next) {
        if (e->value == value) {
            *link = e->next;
            delete[] e->name;
            delete e;
            return value;
        }
    }
    return nullptr;
}
