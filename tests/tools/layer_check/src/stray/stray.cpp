// A folder the table does not list.
