#pragma once
// Base of the framework's plain objects: every live instance is counted per class in one process-wide
// registry, so the instances still alive at shutdown can be reported.

#include <cstddef>
#include <string>
#include <string_view>

class TXObject {
public:
    // className must outlive the object (a string literal: the subclass's own name).
    explicit TXObject(const char* className);
    TXObject(const TXObject& other);
    TXObject& operator=(const TXObject&) { return *this; } // the registration stays with the object
    virtual ~TXObject();

    const char* ClassName() const { return mClassName; }

private:
    const char* mClassName;
};

// Instances alive now: all of them, or those registered with className.
size_t LiveObjectCount();
size_t LiveObjectCount(std::string_view className);
// Whether obj is a live, registered instance.
bool IsLiveObject(const TXObject* obj);

// One line per class with live instances, sorted by class name: name, ":", count, line break. Empty when
// none.
std::string ObjectRegistryReport();
// Writes the report to stderr when it is not empty; main() calls it at shutdown.
void WriteObjectRegistryReport();
