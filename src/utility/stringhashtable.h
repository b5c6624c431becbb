// StringHashTable: the engine's name table (textures, models, entities, script
// functions, interface images). 317 chained buckets, no resizing; keys are
// copied, values are borrowed. Newest entry first in its bucket, so a key
// inserted twice finds the later value until that entry is removed.
#ifndef ZENDAR_UTILITY_STRINGHASHTABLE_H
#define ZENDAR_UTILITY_STRINGHASHTABLE_H

class StringHashTable {
public:
    enum {
        kBuckets = 317
    };

    StringHashTable();
    ~StringHashTable();
    StringHashTable(const StringHashTable&) = delete;
    StringHashTable& operator=(const StringHashTable&) = delete;

    // h = c + 2*h over the unsigned bytes, unsigned 32-bit; bucket = h % 317.
    // A null key is bucket 0.
    static unsigned int Hash(const char* key);

    void Insert(const char* key, void* value);   // duplicates allowed
    void* Find(const char* key) const;           // null when absent or key null
    void* Remove(const char* key);               // first match; its value or null
    void* Remove(const char* key, void* value);  // by value within the key's bucket

    // Visits every entry (bucket order, newest first in a bucket).
    template <class Fn>
    void ForEach(Fn fn) const {
        for (int b = 0; b < kBuckets; ++b)
            for (Entry* e = buckets[b]; e; e = e->next) fn(e->name, e->value);
    }

private:
    struct Entry {
        char* name;
        void* value;
        Entry* next;
    };
    static Entry* NewEntry(const char* key, void* value, Entry* next);
    static void FreeEntry(Entry* e);
    Entry** buckets;
};

#endif
