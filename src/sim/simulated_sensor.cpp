// The simulated sensor; see simulated_sensor.h.
