#pragma once

// -c: the installed and available firmware of every supported port.
int ShowInstalledFirmware();
// -ql: whether the version-only report file exists after discovery.
int CheckVersionOnlyReport();
