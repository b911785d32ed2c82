#include "foundation/UXObject.h"

#include <cstdio>
#include <map>
#include <mutex>
#include <unordered_map>

namespace {

struct Registry {
    std::mutex lock;
    std::unordered_map<const TXObject*, const char*> live;
};

// Never destroyed: objects with static storage may unregister after the other statics are gone.
Registry& TheRegistry() {
    static Registry* r = new Registry;
    return *r;
}

void Register(const TXObject* obj, const char* className) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> g(r.lock);
    r.live.emplace(obj, className);
}

} // namespace

TXObject::TXObject(const char* className) : mClassName(className ? className : "TXObject") {
    Register(this, mClassName);
}

TXObject::TXObject(const TXObject& other) : mClassName(other.mClassName) {
    Register(this, mClassName);
}

TXObject::~TXObject() {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> g(r.lock);
    r.live.erase(this);
}

size_t LiveObjectCount() {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> g(r.lock);
    return r.live.size();
}

size_t LiveObjectCount(std::string_view className) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> g(r.lock);
    size_t n = 0;
    for (const auto& [obj, name] : r.live) {
        if (className == name) {
            ++n;
        }
    }
    return n;
}

bool IsLiveObject(const TXObject* obj) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> g(r.lock);
    return r.live.count(obj) != 0;
}

std::string ObjectRegistryReport() {
    std::map<std::string_view, size_t> counts;
    {
        Registry& r = TheRegistry();
        std::lock_guard<std::mutex> g(r.lock);
        for (const auto& [obj, name] : r.live) {
            ++counts[name];
        }
    }
    std::string out;
    for (const auto& [name, n] : counts) {
        out.append(name);
        out += ':';
        out += std::to_string(n);
        out += '\n';
    }
    return out;
}

void WriteObjectRegistryReport() {
    const std::string report = ObjectRegistryReport();
    if (!report.empty()) {
        std::fwrite(report.data(), 1, report.size(), stderr);
        std::fflush(stderr);
    }
}
