#pragma once
// A small per-thread cache of what is worked out once per locale (its number syntax, its
// names of days). No locale is changed here, and nothing is shared between threads.

#include <QLocale>

#include <memory>
#include <vector>

// Most programs use one or two locales; a handful of entries per thread avoids rebuilding.
// Entry needs a member `locale`; build makes a std::unique_ptr<Entry> for a locale.
template <typename Entry, typename Build>
const Entry& CachedForLocale(const QLocale& locale, Build build)
{
    thread_local std::vector<std::unique_ptr<Entry>> cache;
    for (const auto& entry : cache) {
        if (entry->locale == locale)
            return *entry;
    }
    if (cache.size() >= 4)
        cache.erase(cache.begin());
    cache.push_back(build(locale));
    return *cache.back();
}
