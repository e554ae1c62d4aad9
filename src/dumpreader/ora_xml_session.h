// ora_xml_session: keeps the XML parser library (Xerces-C) initialised while it lives.
//
// Each parse of a Data Pump description holds a session: the constructor initialises the library
// with the locale "en_US", the destructor terminates it. The library counts its initialisations
// itself and tears down only at the last termination, but neither call may run while another
// thread is inside one of them; a process-wide lock serialises the two calls, so that parses on
// several threads (the wizard's open beside a test, two dumps at once) never see the library
// terminated under them: every running parse holds one count.
//
// Nested sessions are fine (the scan of a dump holds one around all its parses). Any thread; not
// copyable. The constructor throws tk_exception (level 2) when the library cannot start.
#pragma once

class ora_xml_session {
public:
    ora_xml_session();
    ~ora_xml_session();
    ora_xml_session(const ora_xml_session&) = delete;
    ora_xml_session& operator=(const ora_xml_session&) = delete;

    // How many sessions are open in the process (for tests).
    static int open_count();
};
