#include "ora_xml_session.h"

#include <mutex>

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLException.hpp>

#include "tk_exception.h"
#include "tk_log.h"

namespace {

std::mutex& session_lock() {
    static std::mutex lock;
    return lock;
}

int g_open = 0;  // guarded by session_lock()

}  // namespace

ora_xml_session::ora_xml_session() {
    std::lock_guard<std::mutex> guard(session_lock());
    try {
        xercesc::XMLPlatformUtils::Initialize("en_US");
    } catch (const xercesc::XMLException&) {
        tk_trace(3, "The XML parser library could not be initialised");
        throw tk_exception("The XML parser library could not be initialised.", 2);
    }
    ++g_open;
}

ora_xml_session::~ora_xml_session() {
    std::lock_guard<std::mutex> guard(session_lock());
    --g_open;
    xercesc::XMLPlatformUtils::Terminate();
}

int ora_xml_session::open_count() {
    std::lock_guard<std::mutex> guard(session_lock());
    return g_open;
}
