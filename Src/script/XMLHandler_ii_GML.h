// The configuration document handler ("gml" documents such as "init.xml").
// Here it only takes the events; reading the settings is built on top of it.
#pragma once
#include "script/XMLHandler_ii.h"

class XMLHandler_ii_GML : public XMLHandler_ii {
public:
    XMLHandler_ii_GML() = default;
    ~XMLHandler_ii_GML() override;
};
