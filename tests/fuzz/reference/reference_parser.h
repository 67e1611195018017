// The XML parser as it was before its scanning and element storage were rewritten for speed,
// kept only so that the differential fuzz target can hold the product's parser to it. Its
// records are allocated and freed here, each on its own.
#pragma once

#include <string>

#include "reference/reference_record.h"

namespace reference {

// What XmlNode::ParseText returned: the element (parentless) or null, and the outcome. The
// caller frees the element with Free.
XmlElementRecord* ParseText(const char* text, const char* required_tag, XmlParseOutcome* results);
void Free(XmlElementRecord* record);

// The whole tree below a record as one line, as test::Describe gives a node's.
std::string Describe(const XmlElementRecord* record);

}  // namespace reference
