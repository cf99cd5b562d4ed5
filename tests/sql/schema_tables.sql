-- Catalogue and definition tables of the web database application: the
-- table catalogue, column definitions, access rights, table administrators,
-- users and group membership. Loaded by tests/support/rvschema.cpp before
-- sample_tables.sql.
--
-- Ids are integer-typed numerics, so their text form is "12" or "-1" (never
-- "12.00000"). Rights not given are NULL, never ''.

CREATE TABLE rvsys_user (
  id    numeric(9)   PRIMARY KEY,
  name  varchar(127) NOT NULL
);

-- id is the group, sid_assign the user in it.
CREATE TABLE rvsys_group_user (
  id         numeric(9) NOT NULL,
  sid_assign numeric(9) NOT NULL,
  PRIMARY KEY (id, sid_assign)
);

CREATE TABLE rv_tbl (
  tbl_id       numeric(9)  PRIMARY KEY,
  status       varchar(1)  NOT NULL,         -- '1' running, '0' stopped
  seqno        numeric(9)  NOT NULL,
  tbl_lname    text        NOT NULL,
  note         text,
  regist_date  timestamp with time zone NOT NULL,
  regist_uid   numeric(9),
  regist_uname varchar(256),
  update_date  timestamp with time zone,
  records      numeric(9),
  tbl_key      varchar(32),
  tbl_options  text                          -- key=value lines (LF)
);

-- c_input_auto_correct and calc_expr are name=value lines (LF).
CREATE TABLE rv_tbl_col (
  tbl_id           numeric(9)  NOT NULL,
  col_id           numeric(9)  NOT NULL,     -- -1 .. -5: system columns
  col_type         varchar(16) NOT NULL,
  col_lname        text,
  seqno            numeric(9),
  rel_col_type     varchar(16),
  rel_tbl_id       numeric(9),
  rel_col_id       numeric(9),
  rel_key          numeric(9),
  c_must           char(1),
  c_uniq           char(1),
  c_sort           char(1),
  c_max_size       varchar(16),
  c_min_count      varchar(16),
  c_max_count      varchar(16),
  c_min_val        varchar(32),
  c_max_val        varchar(32),
  c_min_len        varchar(16),
  c_max_len        varchar(16),
  c_min_date       varchar(14),
  c_max_date       varchar(14),
  c_input_limit    varchar(4),
  c_input_selects  text,
  c_input_auto_correct text,
  f_round_level    varchar(8),
  f_round_type     varchar(1),
  f_comma_split    char(1),
  f_minus          varchar(1),
  f_prefix         varchar(64),
  f_affix          varchar(64),
  f_percent        char(1),
  f_option         varchar(8),
  f_display_format varchar(8),
  v_init_val       text,
  v_input_cols     varchar(4),
  v_input_rows     varchar(4),
  v_input_type     varchar(16),
  v_input_format   varchar(4),
  v_input_help     text,
  calc_expr        text,
  PRIMARY KEY (tbl_id, col_id)
);

-- One grant per row: a user (u_id), a group (g_id) or everyone (g_id -1).
CREATE TABLE rv_tbl_acc (
  tbl_id       numeric(9) NOT NULL,
  u_id         numeric(9),
  g_id         numeric(9),
  u_acc_refer  char(1), u_acc_entry char(1), u_acc_change char(1),
  u_acc_delete char(1), u_acc_addcmt char(1), u_acc_export char(1),
  g_acc_refer  char(1), g_acc_entry char(1), g_acc_change char(1),
  g_acc_delete char(1), g_acc_addcmt char(1), g_acc_export char(1),
  a_acc_refer  char(1), a_acc_entry char(1), a_acc_change char(1),
  a_acc_delete char(1), a_acc_addcmt char(1), a_acc_export char(1)
);

CREATE TABLE rv_tbl_admin (
  tbl_id      numeric(9) NOT NULL,
  dbadmin_uid numeric(9) NOT NULL,
  PRIMARY KEY (tbl_id, dbadmin_uid)
);
