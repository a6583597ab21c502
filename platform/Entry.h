// The program's entry: the back end calls AppMain once the process is set up.
#pragma once

int AppMain();
