#pragma once
// :name parameters -> $n placeholders, for engines that only take positional parameters.

#include <string>
#include <string_view>
#include <vector>

struct TXParamRewrite {
    std::string text;               // SQL with $1, $2 ...
    std::vector<std::string> names; // names[n-1] is the parameter of $n, as first written
};

// Skips string literals ('..' with '' escapes), quoted names (".."), -- and /* */ comments and :: casts.
// A name used twice (compared without regard to case) gets the same $n.
TXParamRewrite RewriteNamedParams(std::string_view sql);
