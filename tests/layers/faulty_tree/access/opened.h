// A header of the access layer, for the list layer to reach sideways.
#pragma once
