// A header of the simulated platform's own, for the walk to reach into.
#pragma once
