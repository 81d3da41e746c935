// A header of the student named like one of borne own.
#pragma once
