#pragma once

// User and system CPU time of this process so far, in milliseconds.
double ProcessCpuMs();

// The private configuration folder this run was started with; null in the
// first run, which then calls RestartWithPrivateConfig.
const char* PrivateConfigDir();

// Starts this program again with a private configuration folder, so that a
// benchmark never reads or writes the user's settings; pszName names the
// folder and the message. Returns only when that failed.
void RestartWithPrivateConfig(char** argv, const char* pszName);
