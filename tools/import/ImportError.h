// The one error of the importer: a message that names the file (and the
// region or generator) and the reason, ready to show as it is.
#pragma once

#include <stdexcept>
#include <string>

namespace norv::import {

class ImportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace norv::import
